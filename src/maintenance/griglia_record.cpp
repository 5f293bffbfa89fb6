#include "griglia_record.h"

#include "core/sessione.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace corvale {

SelettoreRecord::SelettoreRecord(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
{
    setSectionResizeMode(QHeaderView::Fixed);
    setHighlightSections(false);
    setSectionsClickable(false);
    setFixedWidth(22);
}

QSize SelettoreRecord::sectionSizeFromContents(int) const { return QSize(22, defaultSectionSize()); }

void SelettoreRecord::mousePressEvent(QMouseEvent* e)
{
    const int r = logicalIndexAt(e->position().toPoint());
    if (r >= 0 && e->button() == Qt::LeftButton)
        emit rigaPremuta(r, e->modifiers().testFlag(Qt::ControlModifier));
    e->accept();
}

const QString kDomandaSalva = QStringLiteral("Salvare nell'archivio la modifica del record?\rCon No la modifica "
                                             "viene scartata.");

GrigliaRecord::GrigliaRecord(Sessione& sessione, QWidget* parent)
    : QTableView(parent), sessione_(sessione), modello_(new ModelloRecord(sessione, this))
{
    auto* selettore = new SelettoreRecord(this);
    setVerticalHeader(selettore);
    setModel(modello_);
    // The selection is the grid's own list of bookmarks, painted by the model.
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    // Tab belongs to the window: it leaves the grid instead of walking its cells.
    setTabKeyNavigation(false);
    horizontalHeader()->setVisible(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(110);
    horizontalHeader()->setHighlightSections(false);
    selettore->setVisible(true);
    selettore->setDefaultSectionSize(fontMetrics().height() + 6);
    connect(selettore, &SelettoreRecord::rigaPremuta, this, [this](int r, bool ctrl) {
        ClicRiga(r, ctrl);
        const QModelIndex cur = currentIndex();
        setCurrentIndex(modello_->index(r, cur.isValid() ? cur.column() : 0));
    });
}

void GrigliaRecord::Imposta(const dbe::Recordset& rs, SelezioneRecord* selezione)
{
    selezione_ = selezione;
    ancora_ = -1;
    estesi_.clear();
    if (selezione_)
        selezione_->Clear();
    modello_->Imposta(rs, selezione);
    // Every heading readable in full: a column is never narrower than its field's name.
    QHeaderView* h = horizontalHeader();
    for (int c = 0; c < modello_->columnCount(); ++c)
        h->resizeSection(c, qMax(h->defaultSectionSize(), h->sectionSizeHint(c)));
}

void GrigliaRecord::ClicRiga(int r, bool ctrl)
{
    if (!selezione_)
        return;
    dbe::Bookmark bm = 0;
    if (!modello_->Segnalibro(r, &bm))
        return;
    ancora_ = -1;
    if (ctrl) {
        if (!selezione_->Remove(bm))
            selezione_->Add(bm);
    } else {
        selezione_->Clear();
        selezione_->Add(bm);
    }
    modello_->AggiornaSelezione();
    emit selezioneCambiata();
}

void GrigliaRecord::mousePressEvent(QMouseEvent* e)
{
    // A click in a cell only moves the current cell; with Ctrl it also adds the row to the
    // selection or takes it out. Only the record selector replaces the selection.
    const QModelIndex i = indexAt(e->position().toPoint());
    if (i.isValid() && e->button() == Qt::LeftButton && e->modifiers().testFlag(Qt::ControlModifier))
        ClicRiga(i.row(), true);
    QTableView::mousePressEvent(e);
}

void GrigliaRecord::invertiRiga(int r) { ClicRiga(r, true); }

void GrigliaRecord::estendiA(int r)
{
    if (!selezione_ || ancora_ < 0)
        return;
    // Rows the extension passed and has now left go out again, the rest of the range comes in,
    // walking from the anchor toward the current row.
    QList<dbe::Bookmark> tenuti;
    QSet<dbe::Bookmark> nelRange;
    const int passo = r >= ancora_ ? 1 : -1;
    for (int i = ancora_;; i += passo) {
        dbe::Bookmark bm = 0;
        if (modello_->Segnalibro(i, &bm))
            nelRange.insert(bm);
        if (i == r)
            break;
    }
    for (const dbe::Bookmark bm : std::as_const(estesi_)) {
        if (nelRange.contains(bm))
            tenuti << bm;
        else
            selezione_->Remove(bm);
    }
    estesi_ = tenuti;
    for (int i = ancora_;; i += passo) {
        dbe::Bookmark bm = 0;
        if (modello_->Segnalibro(i, &bm) && selezione_->Add(bm))
            estesi_ << bm;
        if (i == r)
            break;
    }
    modello_->AggiornaSelezione();
    emit selezioneCambiata();
}

void GrigliaRecord::keyPressEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers mod = e->modifiers() & ~Qt::KeypadModifier;
    const int k = e->key();
    // Ctrl+Tab (and Ctrl+Shift+Tab) leaves the grid as Tab does.
    if ((k == Qt::Key_Tab || k == Qt::Key_Backtab) && mod.testFlag(Qt::ControlModifier)) {
        focusNextPrevChild(k == Qt::Key_Tab && !mod.testFlag(Qt::ShiftModifier));
        e->accept();
        return;
    }
    const QModelIndex cur = currentIndex();
    if (k == Qt::Key_Space && (mod == Qt::NoModifier || mod == Qt::ControlModifier) && state() != EditingState) {
        if (cur.isValid())
            invertiRiga(cur.row());
        e->accept();
        return;
    }
    const bool movimento = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown
                           || k == Qt::Key_Home || k == Qt::Key_End;
    if (!movimento) {
        QTableView::keyPressEvent(e);
        return;
    }
    const int prima = cur.isValid() ? cur.row() : -1;
    const bool shift = mod.testFlag(Qt::ShiftModifier);
    if (shift && ancora_ < 0) {
        ancora_ = prima;
        estesi_.clear();
    }
    // The move itself is the table's; the selection is the grid's own.
    QKeyEvent senzaShift(e->type(), k, mod & ~Qt::ShiftModifier, e->text(), e->isAutoRepeat());
    QTableView::keyPressEvent(&senzaShift);
    e->setAccepted(senzaShift.isAccepted());
    const QModelIndex dopo = currentIndex();
    if (!shift) {
        ancora_ = -1;
        return;
    }
    if (dopo.isValid() && ancora_ >= 0)
        estendiA(dopo.row());
}

void GrigliaRecord::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab in an open cell closes it (its text kept) and leaves the grid, never opening the next cell.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void GrigliaRecord::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The base class first hands an open editor's text to the model; an edit is then written when
    // the grid leaves its row.
    QTableView::currentChanged(current, previous);
    if (modello_->ModifichePendenti() && current.row() != modello_->RigaModifica())
        ConcludiModifica();
}

bool GrigliaRecord::ConcludiModifica()
{
    if (concludendo_)
        return false;
    concludendo_ = true;
    // The text typed into a cell still open counts as typed.
    QWidget* editor = QApplication::focusWidget();
    while (editor && editor->parentWidget() != viewport())
        editor = editor->parentWidget();
    if (editor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    bool ok = true;
    if (modello_->ModifichePendenti()) {
        if (sessione_.operatore().Mostra(kDomandaSalva, Pulsanti::SiNo) == Risposta::Si) {
            ok = modello_->ScriviModifiche();
        } else {
            modello_->ScartaModifiche();
            ok = false;
        }
    }
    concludendo_ = false;
    return ok;
}

}  // namespace corvale
