#include "frm_corr.h"

#include "core/sessione.h"

#include "records/correzione_en.h"
#include "records/correzione_enp.h"
#include "griglia_record.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvale {

FrmCorr::FrmCorr(Sessione& sessione, QWidget* parent)
    : QFrame(parent), LDescr0(new QLabel(kTitoloVista, this)), DBGrid1(new GrigliaRecord(sessione, this)),
      PBar(new QProgressBar(this)),
      LDescr2(new QLabel(QStringLiteral("Selezionare i record tenendo premuto il tasto Ctrl"), this)),
      PulsSelAll(new QPushButton(QStringLiteral("Seleziona Tutti"), this)),
      OptCorr{new QRadioButton(QStringLiteral("Elimina"), this), new QRadioButton(kCaptionAssocia, this),
              new QRadioButton(kCaptionAssocia, this)},
      DbCmb(new QComboBox(this)), vista_(sessione), barra_(PBar)
{
    setObjectName(QStringLiteral("FrmCorr"));
    LDescr0->setObjectName(QStringLiteral("LDescr(0)"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    PBar->setObjectName(QStringLiteral("PBar"));
    LDescr2->setObjectName(QStringLiteral("LDescr(2)"));
    PulsSelAll->setObjectName(QStringLiteral("PulsSelAll"));
    for (int i = 0; i < 3; ++i)
        OptCorr[i]->setObjectName(QStringLiteral("OptCorr(%1)").arg(i));
    DbCmb->setObjectName(QStringLiteral("DbCmb"));

    QFont grassetto = LDescr0->font();
    grassetto.setBold(true);
    LDescr0->setFont(grassetto);
    PulsSelAll->setAutoDefault(false);  // the window's Enter presses the focused button only
    PBar->setMinimum(0);
    PBar->setVisible(false);
    DbCmb->setEditable(true);
    DbCmb->setInsertPolicy(QComboBox::NoInsert);
    DbCmb->setMinimumWidth(220);
    // The box may list a hundred thousand masters: its width comes from a fixed number of
    // characters, not from measuring every entry, and the list's rows all have one height.
    DbCmb->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DbCmb->setMinimumContentsLength(20);
    if (auto* elenco = qobject_cast<QListView*>(DbCmb->view()))
        elenco->setUniformItemSizes(true);
    DbCmb->installEventFilter(this);
    DbCmb->lineEdit()->installEventFilter(this);
    DbCmb->view()->installEventFilter(this);
    DbCmb->view()->viewport()->installEventFilter(this);
    OptCorr[OptFisso]->setVisible(false);
    OptCorr[OptElimina]->setChecked(true);

    auto* gruppo = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i)
        gruppo->addButton(OptCorr[i], i);

    auto* principale = new QVBoxLayout(this);
    principale->setContentsMargins(4, 4, 4, 4);
    principale->addWidget(LDescr0);
    principale->addWidget(DBGrid1, 1);
    principale->addWidget(PBar);
    auto* rigaSel = new QHBoxLayout;
    rigaSel->addWidget(LDescr2, 1);
    rigaSel->addWidget(PulsSelAll);
    principale->addLayout(rigaSel);
    auto* rigaOpt = new QHBoxLayout;
    rigaOpt->addWidget(OptCorr[OptElimina]);
    rigaOpt->addSpacing(16);
    rigaOpt->addWidget(OptCorr[OptAssocia]);
    rigaOpt->addWidget(DbCmb, 1);
    principale->addLayout(rigaOpt);
    principale->addWidget(OptCorr[OptFisso]);

    vista_.Barra = &barra_;
    vista_.DtRowCambiato = [this] { DBGrid1->Imposta(vista_.DtRow, &vista_.Selezione); };
    vista_.DtCollCambiato = [this] { riempiCombo(); };
    vista_.SelezioneCambiata = [this] { DBGrid1->AggiornaSelezione(); };

    connect(PulsSelAll, &QPushButton::clicked, this, [this] { PulsSelAll_Click(); });
    connect(gruppo, &QButtonGroup::idToggled, this, [this](int id, bool scelto) {
        if (scelto && !aggiornando_)
            vista_.Opzione = id;
    });
    connect(DbCmb, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!aggiornando_)
            vista_.TestoCombo = t;
    });
    connect(DbCmb, &QComboBox::activated, this, [this](int i) {
        if (aggiornando_)
            return;
        if (!dallaLista_) {
            // The box matched typed text (or the wheel) to an entry: that chooses nothing.
            mostraScelta();
            return;
        }
        dallaLista_ = false;
        sceltaCombo_ = i;
        vista_.TestoCombo = DbCmb->currentText();
        ScegliVoceCombo(vista_, i);
    });
}

FrmCorr::~FrmCorr()
{
    // The grid paints the selection held here: it goes first.
    DbCmb->removeEventFilter(this);
    DbCmb->lineEdit()->removeEventFilter(this);
    DbCmb->view()->removeEventFilter(this);
    DbCmb->view()->viewport()->removeEventFilter(this);
    if (finestra_)
        finestra_->removeEventFilter(this);
    // What the operator did not confirm is dropped, never written.
    DBGrid1->Modello()->ScartaModifiche();
    delete DBGrid1;
    DBGrid1 = nullptr;
}

void FrmCorr::showEvent(QShowEvent* e)
{
    // The window that holds the view: its closing asks about an edit under way.
    QWidget* w = window();
    if (w != this && w != finestra_) {
        if (finestra_)
            finestra_->removeEventFilter(this);
        finestra_ = w;
        finestra_->installEventFilter(this);
    }
    QFrame::showEvent(e);
}

void FrmCorr::hideEvent(QHideEvent* e)
{
    // Leaving the view (the window's list mode, or a close that did not ask) with an edit under way.
    if (!e->spontaneous())
        DBGrid1->ConcludiModifica();
    QFrame::hideEvent(e);
}

void FrmCorr::closeEvent(QCloseEvent* e)
{
    DBGrid1->ConcludiModifica();
    QFrame::closeEvent(e);
}

bool FrmCorr::eventFilter(QObject* o, QEvent* e)
{
    if (o == finestra_) {
        if (e->type() == QEvent::Close)
            DBGrid1->ConcludiModifica();
        return QFrame::eventFilter(o, e);
    }
    // The master record follows only an entry chosen from the list: a click on an entry of the
    // open list, Enter on it, or the arrow keys in the box. A click anywhere in the box moves the
    // master record to the entry it holds as chosen; typing alone moves nothing, and when the
    // operator leaves the box with typed text it shows the chosen entry again (an emptied box stays
    // empty: the correction then asks for a choice).
    const bool nelBox = o == DbCmb || o == DbCmb->lineEdit();
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (nelBox) {
            dallaLista_ = false;
            ScegliVoceCombo(vista_, sceltaCombo_);
        }
        break;
    case QEvent::Wheel:
        if (nelBox)
            dallaLista_ = false;
        break;
    case QEvent::MouseButtonRelease:
        if (o == DbCmb->view()->viewport())
            dallaLista_ = true;
        break;
    case QEvent::KeyPress: {
        const int tasto = static_cast<QKeyEvent*>(e)->key();
        const bool invio = tasto == Qt::Key_Return || tasto == Qt::Key_Enter;
        const bool frecce =
            tasto == Qt::Key_Up || tasto == Qt::Key_Down || tasto == Qt::Key_PageUp || tasto == Qt::Key_PageDown;
        if (nelBox || o == DbCmb->view())
            dallaLista_ = (o == DbCmb->view() && invio) || (nelBox && frecce);
        break;
    }
    case QEvent::FocusOut:
        if (nelBox)
            dallaLista_ = false;
        if (nelBox && !DbCmb->currentText().isEmpty() && sceltaCombo_ >= 0
            && DbCmb->currentText() != DbCmb->itemText(sceltaCombo_))
            mostraScelta();
        break;
    default: break;
    }
    return QFrame::eventFilter(o, e);
}

void FrmCorr::mostraScelta()
{
    aggiornando_ = true;
    DbCmb->setCurrentIndex(sceltaCombo_);
    DbCmb->setEditText(sceltaCombo_ >= 0 ? DbCmb->itemText(sceltaCombo_) : QString());
    aggiornando_ = false;
    vista_.TestoCombo = DbCmb->currentText();
}

void FrmCorr::riempiCombo()
{
    aggiornando_ = true;
    DbCmb->clear();
    QStringList testi;
    testi.reserve(vista_.VociCombo.size());
    for (const VoceCombo& v : vista_.VociCombo)
        testi << v.Testo;
    DbCmb->addItems(testi);  // one insertion, not one per entry
    sceltaCombo_ = vista_.VociCombo.isEmpty() ? -1 : 0;
    DbCmb->setCurrentIndex(sceltaCombo_);
    DbCmb->setEditText(vista_.TestoCombo);
    aggiornando_ = false;
}

void FrmCorr::mostraOpzioni()
{
    aggiornando_ = true;
    LDescr0->setText(vista_.Titolo);
    DbCmb->setVisible(vista_.ComboVisibile);
    for (int i = 0; i < 3; ++i)
        OptCorr[i]->setVisible(vista_.OpzioneVisibile[i]);
    OptCorr[OptFisso]->setText(vista_.CaptionOpzione2);
    OptCorr[vista_.Opzione]->setChecked(true);
    if (DbCmb->currentText() != vista_.TestoCombo)
        DbCmb->setEditText(vista_.TestoCombo);
    aggiornando_ = false;
}

bool FrmCorr::AttivaCorrezioneRecord(const TaskCorrezione& task)
{
    DBGrid1->ConcludiModifica();
    if (!corvale::AttivaCorrezioneRecord(vista_, task))
        return false;
    DBGrid1->Modello()->ImpostaTask(task.Chiave, task.Descrizione);
    mostraOpzioni();
    show();
    raise();
    return true;
}

void FrmCorr::ApriCorrezioneRecord(const TaskCorrezione& task)
{
    DBGrid1->ConcludiModifica();
    corvale::ApriCorrezioneRecord(vista_, task);
    DBGrid1->Modello()->ImpostaTask(task.Chiave, task.Descrizione);
    mostraOpzioni();
    show();
    raise();
}

void FrmCorr::GestisciCorrezioneEN(const TaskCorrezione& task)
{
    DBGrid1->ConcludiModifica();
    vista_.TestoCombo = DbCmb->currentText();
    corvale::GestisciCorrezioneEN(vista_, task);
}

void FrmCorr::GestisciCorrezioneENP(const TaskCorrezione& task)
{
    DBGrid1->ConcludiModifica();
    corvale::GestisciCorrezioneENP(vista_, task);
}

void FrmCorr::PulsSelAll_Click()
{
    DBGrid1->ConcludiModifica();
    SelezionaTutti(vista_);
}

}  // namespace corvale
