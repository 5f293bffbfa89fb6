#include "vista_lista.h"

#include "immagini_stato.h"
#include "core/modello_lista.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>

namespace corvale {

namespace {
struct Blocco {
    bool& flag;
    bool prima;
    explicit Blocco(bool& f) : flag(f), prima(f) { flag = true; }
    ~Blocco() { flag = prima; }
};
}  // namespace

VistaLista::VistaLista(ModelloLista& modello, QTreeWidget* lista, QObject* parent)
    : QObject(parent), modello_(modello), lista_(lista)
{
    lista_->setRootIsDecorated(false);
    lista_->setUniformRowHeights(true);
    lista_->setSelectionMode(QAbstractItemView::SingleSelection);
    lista_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lista_->setIconSize(QSize(16, 16));
    lista_->setAllColumnsShowFocus(true);
    lista_->header()->setStretchLastSection(false);
    // A text too long for its column keeps both its ends ("...scollegate dai Clienti" and
    // "...dai Fornitori" stay told apart); the whole text is the row's tooltip.
    lista_->setTextElideMode(Qt::ElideMiddle);
    viewport_ = lista_->viewport();
    viewport_->installEventFilter(this);

    connect(&modello_, &ModelloLista::colonneCambiate, this, &VistaLista::colonne);
    connect(&modello_, &ModelloLista::righeAzzerate, this, &VistaLista::ricostruisci);
    connect(&modello_, &ModelloLista::rigaAggiunta, this, &VistaLista::aggiungi);
    connect(&modello_, &ModelloLista::rigaCambiata, this, &VistaLista::aggiorna);
    connect(&modello_, &ModelloLista::rigaRimossa, this, &VistaLista::rimuovi);
    connect(&modello_, &ModelloLista::selezioneCambiata, this, &VistaLista::seleziona);
    connect(&modello_, &ModelloLista::visibilitaRichiesta, this, &VistaLista::visibile);
    connect(lista_, &QTreeWidget::itemChanged, this, &VistaLista::spuntaCambiata);
    connect(lista_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* corrente, QTreeWidgetItem*) { correnteCambiata(corrente); });
    colonne();
    ricostruisci();
}

void VistaLista::colonne()
{
    const auto& c = modello_.Colonne();
    lista_->setColumnCount(qMax(1, int(c.size())));
    QStringList titoli;
    for (const ColonnaLista& col : c)
        titoli << col.Titolo;
    lista_->setHeaderLabels(titoli);
    adattaColonne();
}

// The columns start at their designed widths and share whatever room the list has: the state
// column is as wide as its longest text (at most half the list), the description takes the rest,
// so that every description that can fit beside the state is shown whole.
void VistaLista::adattaColonne()
{
    const auto& c = modello_.Colonne();
    const auto px = [](int twip) { return qRound(twip / 15.0); };
    if (c.size() != 2) {
        for (int i = 0; i < c.size(); ++i)
            lista_->setColumnWidth(i, px(c[i].LarghezzaTwip));
        return;
    }
    const QFontMetrics fm = lista_->fontMetrics();
    const int margine = 2 * (lista_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lista_) + 1) + 8;
    int stato = fm.horizontalAdvance(c[1].Titolo);
    for (int i = 0; i < modello_.Conta(); ++i)
        stato = qMax(stato, fm.horizontalAdvance(modello_.Riga(i).TestoStato));
    const int spazio = lista_->viewport()->width();
    stato = qMax(px(c[1].LarghezzaTwip), qMin(stato + margine, spazio / 2));
    lista_->setColumnWidth(1, stato);
    lista_->setColumnWidth(0, qMax(px(c[0].LarghezzaTwip), spazio - stato));
}

bool VistaLista::eventFilter(QObject* o, QEvent* e)
{
    // The viewport kept at the start: while the list is destroyed its events still come here, and
    // the list itself may no longer be asked anything.
    if (o == viewport_ && e->type() == QEvent::Resize)
        adattaColonne();
    return QObject::eventFilter(o, e);
}

void VistaLista::ricostruisci()
{
    Blocco b(inAggiornamento_);
    lista_->clear();
    for (int i = 0; i < modello_.Conta(); ++i)
        aggiungi(i);
    seleziona(modello_.Selezionata());
}

void VistaLista::aggiungi(int pos)
{
    Blocco b(inAggiornamento_);
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    lista_->insertTopLevelItem(pos, item);
    aggiorna(pos);
}

void VistaLista::aggiorna(int pos)
{
    QTreeWidgetItem* item = lista_->topLevelItem(pos);
    if (!item)
        return;
    Blocco b(inAggiornamento_);
    const RigaLista& r = modello_.Riga(pos);
    const bool statoCambiato = item->text(1) != r.TestoStato;
    item->setText(0, r.Testo);
    item->setText(1, r.TestoStato);
    // The whole text, and for a failed correction row the engine's reason beneath it.
    const QString nota = r.Nota.isEmpty() ? QString() : QStringLiteral("\n") + r.Nota;
    item->setToolTip(0, r.Testo + nota);
    item->setToolTip(1, r.TestoStato + nota);
    item->setIcon(0, ImgList::Immagine(r.Icona));
    item->setCheckState(0, r.Spuntata ? Qt::Checked : Qt::Unchecked);
    if (statoCambiato)
        adattaColonne();
}

void VistaLista::rimuovi(int pos)
{
    Blocco b(inAggiornamento_);
    delete lista_->takeTopLevelItem(pos);
}

void VistaLista::seleziona(int pos)
{
    Blocco b(inAggiornamento_);
    QTreeWidgetItem* item = pos >= 0 ? lista_->topLevelItem(pos) : nullptr;
    if (item) {
        lista_->setCurrentItem(item);
    } else {
        lista_->clearSelection();
        lista_->setCurrentItem(nullptr);
    }
}

void VistaLista::visibile(int pos)
{
    if (QTreeWidgetItem* item = lista_->topLevelItem(pos))
        lista_->scrollToItem(item);
}

void VistaLista::spuntaCambiata(QTreeWidgetItem* item, int colonna)
{
    if (inAggiornamento_ || colonna != 0)
        return;
    const int pos = lista_->indexOfTopLevelItem(item);
    if (pos >= 0)
        modello_.ImpostaSpunta(pos, item->checkState(0) == Qt::Checked);
}

void VistaLista::correnteCambiata(QTreeWidgetItem* corrente)
{
    if (inAggiornamento_)
        return;
    modello_.Seleziona(corrente ? lista_->indexOfTopLevelItem(corrente) : -1);
}

}  // namespace corvale
