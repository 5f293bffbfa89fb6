#include "manutenzione.h"

#include "valore.h"

namespace corvale {

namespace {
// Icon key and state text of each state code, in the order the codes are compared.
struct StatoRiga {
    QString codice;
    QString icona;
    QString testo;
};
const StatoRiga kStati[] = {
    {kStatoOk, QStringLiteral("VERIFICATO_OK"), QStringLiteral("Verificato (OK)")},
    {kStatoPrb, QStringLiteral("PROBLEMI"), QStringLiteral("Rilevati Problemi")},
    {kStatoCtrl, QStringLiteral("IN_CORSO"), QStringLiteral("Controllo in corso")},
    {kStatoStart, QStringLiteral("DA_ESEGUIRE"), QStringLiteral("Da Eseguire")},
};
}  // namespace

Manutenzione::Manutenzione(Sessione& sessione, QObject* parent) : QObject(parent), sessione_(sessione) {}

void Manutenzione::ImpostaLblStat(const QString& testo)
{
    lblStat_ = testo;
    emit lblStatCambiato(testo);
}

void Manutenzione::ImpostaTxtDett(const QString& testo)
{
    txtDett_ = testo;
    emit txtDettCambiato(testo);
}

void Manutenzione::ridisegna()
{
    if (Ridisegna)
        Ridisegna();
}

void Manutenzione::CreaLista()
{
    LstTask.RimuoviColonne();
    LstTask.AggiungiColonna(QStringLiteral("Azione"), 4500);
    LstTask.AggiungiColonna(QStringLiteral("Stato"), 2000);
    LstStruct.RimuoviColonne();
    LstStruct.AggiungiColonna(QStringLiteral("Azione"), 4000);
    LstStruct.AggiungiColonna(QStringLiteral("Stato"), 1500);
}

bool Manutenzione::AggiungiTask(const QString& descr, const QString& tipo, const QStringList& p)
{
    if (NumTask >= MaxTask || p.size() > NumParametri)
        return false;
    ++NumTask;
    const QString chiave = QStringLiteral("%1K").arg(NumTask, 4, 10, QLatin1Char('0'));
    const int pos = LstTask.Aggiungi(chiave, descr);
    LstTask.ImpostaSpunta(pos, true);
    DatiTask& t = ElencoTask[NumTask];
    t.Tipo = tipo;
    for (int i = 0; i < p.size(); ++i)
        t.P[i] = p[i];
    return true;
}

qint16 Manutenzione::Id(const QString& vk) { return ValIntero16(vk.left(4)); }

DatiTask& Manutenzione::Task(int li)
{
    const int i = (li >= 0 && li < LstTask.Conta()) ? Id(LstTask.Riga(li).Chiave) : 0;
    return ElencoTask[(i >= 0 && i <= MaxTask) ? i : 0];
}

void Manutenzione::ImpostaStato(int li, const QString& valore)
{
    if (li >= 0 && li < LstTask.Conta()) {
        for (const StatoRiga& s : kStati) {
            if (valore != s.codice)
                continue;
            DatiTask& t = Task(li);
            LstTask.ImpostaIcona(li, s.icona);
            t.Stato = valore;
            LstTask.ImpostaTestoStato(li, s.testo);
            if (valore == kStatoOk)
                t.Dettaglio = kDettaglioOk;
            break;
        }
    }
    ridisegna();
}

void Manutenzione::MostraDettaglio()
{
    const int sel = LstTask.Selezionata();
    if (sel < 0)
        return;
    ImpostaTxtDett(Task(sel).Dettaglio);
}

void Manutenzione::SelezionaTutti()
{
    for (int i = 0; i < LstTask.Conta(); ++i)
        LstTask.ImpostaSpunta(i, true);
}

void Manutenzione::SelezionaSoloQuesto()
{
    const int sel = LstTask.Selezionata();
    if (sel < 0)
        return;
    for (int i = 0; i < LstTask.Conta(); ++i)
        LstTask.ImpostaSpunta(i, i == sel);
}

void Manutenzione::InvertiSelezione()
{
    const int sel = LstTask.Selezionata();
    if (sel < 0)
        return;
    for (int i = sel; i < LstTask.Conta(); ++i)
        LstTask.ImpostaSpunta(i, !LstTask.Riga(i).Spuntata);
}

}  // namespace corvale
