#pragma once
// ModelloLista: the rows of a report-style list with check boxes, without any widget: columns,
// and per row a key, a text, a state text (second column), an icon key, a tick, a tag and a note
// (shown as the row's tooltip), plus the selected row. The task list and the structure corrections list are each one of
// these; a window shows them through VistaLista, which listens to the signals below. Positions are 0-based in display
// order; every change is signalled synchronously, after the model has changed.
#include <QList>
#include <QObject>
#include <QString>

namespace corvale {

struct RigaLista {
    QString Chiave;
    QString Testo;
    QString TestoStato;
    QString Icona;  // key of a state image; empty: no image
    bool Spuntata = false;
    QString Tag;
    QString Nota;  // why the row is in its state, for the operator; empty: nothing to say
};

struct ColonnaLista {
    QString Titolo;
    int LarghezzaTwip = 0;
};

class ModelloLista : public QObject {
    Q_OBJECT
public:
    explicit ModelloLista(QObject* parent = nullptr) : QObject(parent) {}

    const QList<ColonnaLista>& Colonne() const { return colonne_; }
    void RimuoviColonne();
    void AggiungiColonna(const QString& titolo, int larghezzaTwip);

    int Conta() const { return righe_.size(); }
    const RigaLista& Riga(int pos) const { return righe_.at(pos); }
    // Position of the row with that key, or -1.
    int Trova(const QString& chiave) const;

    // Appends a row, unticked, without icon or state text; returns its position.
    int Aggiungi(const QString& chiave, const QString& testo);
    void Rimuovi(int pos);
    void Svuota();

    void ImpostaSpunta(int pos, bool spuntata);
    void ImpostaIcona(int pos, const QString& icona);
    void ImpostaTestoStato(int pos, const QString& testo);
    void ImpostaTag(int pos, const QString& tag);
    void ImpostaNota(int pos, const QString& nota);

    // The selected row, -1 when none. Removing the selected row leaves no selection.
    int Selezionata() const { return selezionata_; }
    void Seleziona(int pos);

    // Asks the view to scroll so that the row is visible.
    void RendiVisibile(int pos);

signals:
    void colonneCambiate();
    void righeAzzerate();
    void rigaAggiunta(int pos);
    void rigaRimossa(int pos);
    void rigaCambiata(int pos);
    void selezioneCambiata(int pos);
    void visibilitaRichiesta(int pos);

private:
    // Sets one text of the row at pos (nothing for a position out of the list) and says so.
    void imposta(int pos, QString RigaLista::*campo, const QString& valore);

    QList<ColonnaLista> colonne_;
    QList<RigaLista> righe_;
    int selezionata_ = -1;
};

}  // namespace corvale
