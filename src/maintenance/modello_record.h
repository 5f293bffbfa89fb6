#pragma once
// ModelloRecord: the table model of the problem-record grid. One column per field of the record
// set, headed by the field's name; one row per record. Rows are read on demand by position
// (SetAbsolutePosition, then Value), a few hundred at a time in a small cache, so a record set of
// any size shows at once. The rows grow as the grid scrolls (canFetchMore/fetchMore): the model
// counts only the records the set has listed so far and asks it for more when the view reaches the
// last row; nothing here lists the whole result. Only the fields of the records' own table can be edited in place
// (CampiModificabili). The edited cells of one row are held until ScriviModifiche writes them the
// way every change is written (records/modifica_cella.h: the gate, the journal, undo) or
// ScartaModifiche drops them; nothing writes them otherwise. A write that is refused is reported
// with its reason and dropped. Rows are never added or deleted here. Rows whose bookmark is in the
// bound selection are painted as selected.
#include "records/selezione_record.h"

#include "dbengine/dbengine.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QMap>
#include <QVector>

namespace corvale {

class Sessione;

class ModelloRecord : public QAbstractTableModel {
    Q_OBJECT
public:
    // Edits go to the session's archive; notices about refused edits to its operator.
    explicit ModelloRecord(Sessione& sessione, QObject* parent = nullptr);

    // Binds a record set (or none) and the selection to paint; the grid starts afresh. A pending
    // edit of the previous record set is dropped.
    void Imposta(const dbe::Recordset& rs, const SelezioneRecord* selezione);
    // The task whose records are shown, named in the journal's entry of each edit.
    void ImpostaTask(const QString& chiave, const QString& descrizione);
    const dbe::Recordset& RecordSet() const { return rs_; }

    // The bookmark of the record shown at a row; false when it cannot be read.
    bool Segnalibro(int riga, dbe::Bookmark* bm) const;
    // Writes the pending edit, if any; false when it was refused (the operator was told why).
    // Either way nothing is pending afterwards.
    bool ScriviModifiche();
    // Drops the pending edit, if any: the row shows the record as the archive holds it.
    void ScartaModifiche();
    bool ModifichePendenti() const { return rigaModifica_ >= 0; }
    int RigaModifica() const { return rigaModifica_; }
    // Repaints the selection marks.
    void AggiornaSelezione();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Rows read from the record set since binding (the cost of showing the grid).
    qint64 RigheLette() const { return righeLette_; }

private:
    void rinfrescaRiga(int r);

    Sessione& sessione_;
    struct Riga {
        dbe::Bookmark segnalibro = 0;
        bool valida = false;  // the position could be read
        bool eliminata = false;  // the record is gone (3167)
        QVector<QVariant> valori;
    };
    const Riga& riga(int r) const;
    bool selezionata(int r) const;

    dbe::Recordset rs_;
    const SelezioneRecord* selezione_ = nullptr;
    int righe_ = 0;
    QStringList nomi_;
    QVector<short> tipi_;
    QVector<bool> modificabili_;  // per field: an edit in place may write it
    QString chiave_, descrizione_;

    mutable QHash<int, Riga> cache_;
    mutable qint64 righeLette_ = 0;

    int rigaModifica_ = -1;
    dbe::Bookmark segnalibroModifica_ = 0;
    QMap<int, QVariant> modifiche_;  // column -> new value
};

}  // namespace corvale
