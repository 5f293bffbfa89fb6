#include "modello_lista.h"

namespace corvale {

void ModelloLista::RimuoviColonne()
{
    colonne_.clear();
    emit colonneCambiate();
}

void ModelloLista::AggiungiColonna(const QString& titolo, int larghezzaTwip)
{
    colonne_.append({titolo, larghezzaTwip});
    emit colonneCambiate();
}

int ModelloLista::Trova(const QString& chiave) const
{
    for (int i = 0; i < righe_.size(); ++i)
        if (righe_[i].Chiave == chiave)
            return i;
    return -1;
}

int ModelloLista::Aggiungi(const QString& chiave, const QString& testo)
{
    RigaLista r;
    r.Chiave = chiave;
    r.Testo = testo;
    righe_.append(r);
    const int pos = righe_.size() - 1;
    emit rigaAggiunta(pos);
    return pos;
}

void ModelloLista::Rimuovi(int pos)
{
    if (pos < 0 || pos >= righe_.size())
        return;
    righe_.removeAt(pos);
    const int prima = selezionata_;
    if (selezionata_ == pos)
        selezionata_ = -1;
    else if (selezionata_ > pos)
        --selezionata_;
    emit rigaRimossa(pos);
    if (prima != selezionata_)
        emit selezioneCambiata(selezionata_);
}

void ModelloLista::Svuota()
{
    righe_.clear();
    const bool cambiata = selezionata_ != -1;
    selezionata_ = -1;
    emit righeAzzerate();
    if (cambiata)
        emit selezioneCambiata(-1);
}

void ModelloLista::ImpostaSpunta(int pos, bool spuntata)
{
    if (pos < 0 || pos >= righe_.size() || righe_[pos].Spuntata == spuntata)
        return;
    righe_[pos].Spuntata = spuntata;
    emit rigaCambiata(pos);
}

void ModelloLista::ImpostaIcona(int pos, const QString& icona) { imposta(pos, &RigaLista::Icona, icona); }

void ModelloLista::ImpostaTestoStato(int pos, const QString& testo) { imposta(pos, &RigaLista::TestoStato, testo); }

void ModelloLista::ImpostaNota(int pos, const QString& nota) { imposta(pos, &RigaLista::Nota, nota); }

void ModelloLista::ImpostaTag(int pos, const QString& tag) { imposta(pos, &RigaLista::Tag, tag); }

void ModelloLista::imposta(int pos, QString RigaLista::*campo, const QString& valore)
{
    if (pos < 0 || pos >= righe_.size())
        return;
    righe_[pos].*campo = valore;
    emit rigaCambiata(pos);
}

void ModelloLista::Seleziona(int pos)
{
    if (pos < -1 || pos >= righe_.size() || pos == selezionata_)
        return;
    selezionata_ = pos;
    emit selezioneCambiata(pos);
}

void ModelloLista::RendiVisibile(int pos)
{
    if (pos >= 0 && pos < righe_.size())
        emit visibilitaRichiesta(pos);
}

}  // namespace corvale
