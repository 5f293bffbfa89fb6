#pragma once
// GrigliaRecord: the grid DBGrid1 of the problem-record view, a table view over ModelloRecord. It
// shows column headers and a record selector at the left of each row, and keeps the selection of
// whole rows as bookmarks in a SelezioneRecord, in the order the rows were selected: a click on a
// row's selector selects that row alone, Ctrl with a click (on the selector or a cell) adds the row
// or takes it out, and a plain click in a cell leaves the selection as it is. A cell of the
// records' own table can be edited in place; the row's edit is written only when the operator says
// so: leaving the row, or ConcludiModifica (before a correction, a new set-up, the closing of the
// window), asks "Salvare nell'archivio la modifica del record?", and No drops it. Nothing writes an
// edit silently. Rows are never added or deleted here.
// From the keyboard: the arrows (and Page Up/Down, Ctrl+Home/End) move the current row and, alone
// or with Ctrl, leave the selection as it is; with Shift they extend it from the row where the
// Shift move began to the current row (rows the extension passed and left are taken out again,
// rows selected before are kept). Space or Ctrl+Space adds the current row or takes it out (to type
// a space into a cell, open it with F2 first). Tab, Shift+Tab and Ctrl+Tab never move from cell to
// cell: they leave the grid for the window's next or previous control, also from an open cell.
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
    explicit GrigliaRecord(Sessione& sessione, QWidget* parent = nullptr);

    // Binds a record set and the selection that the grid fills; the selection is emptied.
    void Imposta(const dbe::Recordset& rs, SelezioneRecord* selezione);
    ModelloRecord* Modello() const { return modello_; }
    // Settles the edit under way: an open cell editor hands its text to the row first; then, when
    // the row has an edit, the operator is asked whether to save it (Yes writes it, No drops it).
    // False when an edit was dropped or refused.
    bool ConcludiModifica();
    // Repaints after the selection was changed from outside.
    void AggiornaSelezione() { modello_->AggiornaSelezione(); }

    // What a click on row r does to the selection (ctrl: Ctrl held).
    void ClicRiga(int r, bool ctrl);

signals:
    void selezioneCambiata();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    // Adds row r or takes it out (Space).
    void invertiRiga(int r);
    // The Shift extension from the anchor to row r.
    void estendiA(int r);
    int ancora_ = -1;  // the row where the Shift extension began (-1: none under way)
    QList<dbe::Bookmark> estesi_;  // rows the extension under way added

    Sessione& sessione_;
    ModelloRecord* modello_;
    bool concludendo_ = false;
    SelezioneRecord* selezione_ = nullptr;
};

}  // namespace corvale
