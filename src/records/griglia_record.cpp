#include "griglia_record.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace corvale {

GrigliaRecord::GrigliaRecord(QWidget* parent) : QTableView(parent), modello_(new ModelloRecord(this))
{
    setModel(modello_);
    // The selection is the grid's own list of bookmarks, painted by the model.
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    horizontalHeader()->setVisible(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(110);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setVisible(true);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(22);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->viewport()->installEventFilter(this);
}

void GrigliaRecord::Imposta(const dbe::Recordset& rs, SelezioneRecord* selezione)
{
    selezione_ = selezione;
    if (selezione_)
        selezione_->Clear();
    modello_->Imposta(rs, selezione);
}

void GrigliaRecord::ClicRiga(int r, bool ctrl)
{
    if (!selezione_)
        return;
    dbe::Bookmark bm = 0;
    if (!modello_->Segnalibro(r, &bm))
        return;
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
    const QModelIndex i = indexAt(e->position().toPoint());
    if (i.isValid() && e->button() == Qt::LeftButton)
        ClicRiga(i.row(), e->modifiers().testFlag(Qt::ControlModifier));
    QTableView::mousePressEvent(e);
}

bool GrigliaRecord::eventFilter(QObject* o, QEvent* e)
{
    if (o == verticalHeader()->viewport() && e->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(e);
        const int r = verticalHeader()->logicalIndexAt(m->position().toPoint());
        if (r >= 0 && m->button() == Qt::LeftButton) {
            ClicRiga(r, m->modifiers().testFlag(Qt::ControlModifier));
            const QModelIndex cur = currentIndex();
            setCurrentIndex(modello_->index(r, cur.isValid() ? cur.column() : 0));
        }
        return true;
    }
    return QTableView::eventFilter(o, e);
}

void GrigliaRecord::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The base class first hands an open editor's text to the model; an edit is then written when
    // the grid leaves its row.
    QTableView::currentChanged(current, previous);
    if (modello_->ModifichePendenti() && current.row() != modello_->RigaModifica())
        modello_->ScriviModifiche();
}

}  // namespace corvale
