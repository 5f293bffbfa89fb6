#pragma once
// GrigliaRecord: the grid DBGrid1 of the problem-record view, a table view over ModelloRecord. It
// shows column headers and a record selector at the left of each row, and keeps the selection of
// whole rows as bookmarks in a SelezioneRecord, in the order the rows were selected: a click on a
// row's selector selects that row alone, Ctrl with a click (on the selector or a cell) adds the row
// or takes it out, and a plain click in a cell leaves the selection as it is. A cell can be edited in place; the edit is written to the record when the current row
// changes (or when ScriviModifiche is called). Rows are never added or deleted here.
#include "modello_record.h"
#include "records/selezione_record.h"

#include <QHeaderView>
#include <QTableView>

namespace corvale {

// The record selector at the left of the rows: a fixed-width column whose size never depends on
// the records (so no record is read to lay it out); a click on it selects the row.
class SelettoreRecord : public QHeaderView {
    Q_OBJECT
public:
    explicit SelettoreRecord(QWidget* parent = nullptr);

signals:
    void rigaPremuta(int riga, bool ctrl);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* e) override;
};

class GrigliaRecord : public QTableView {
    Q_OBJECT
public:
    explicit GrigliaRecord(Operatore& operatore, QWidget* parent = nullptr);

    // Binds a record set and the selection that the grid fills; the selection is emptied.
    void Imposta(const dbe::Recordset& rs, SelezioneRecord* selezione);
    ModelloRecord* Modello() const { return modello_; }
    bool ScriviModifiche() { return modello_->ScriviModifiche(); }
    // Repaints after the selection was changed from outside.
    void AggiornaSelezione() { modello_->AggiornaSelezione(); }

    // What a click on row r does to the selection (ctrl: Ctrl held).
    void ClicRiga(int r, bool ctrl);

signals:
    void selezioneCambiata();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    ModelloRecord* modello_;
    SelezioneRecord* selezione_ = nullptr;
};

}  // namespace corvale
