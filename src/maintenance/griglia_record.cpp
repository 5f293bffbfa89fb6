#include "griglia_record.h"

#include "core/sessione.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>

namespace corvale {

SelettoreRecord::SelettoreRecord(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
{
    setSectionResizeMode(QHeaderView::Fixed);
    setHighlightSections(false);
    setSectionsClickable(false);
    setFixedWidth(22);
}

QSize SelettoreRecord::sectionSizeFromContents(int) const
{
    return QSize(22, defaultSectionSize());
}

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
