#include "frm_repair.h"

#include "access/solo_lettura.h"
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "checks/valori_illeggibili.h"
#include "widgets/doppio_clic.h"
#include "widgets/finestre.h"
#include "core/sessione.h"
#include "dbengine/db_error.h"
#include "maintenance/collega_correzione.h"
#include "maintenance/salva_rapporto.h"
#include "structure/codici_struttura.h"
#include "structure/correzioni_struttura.h"
#include "vista_lista.h"
#include "frm_registro.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QTreeWidget>

namespace corvale {

namespace {
// Window positions are given in twips; 15 twips make one pixel.
int px(int twip) { return qRound(twip / 15.0); }
QRect twip(int x, int y, int w, int h) { return QRect(px(x), px(y), px(w), px(h)); }

// The texts carry carriage returns as the program writes them; the widgets want line feeds.
QString perSchermo(QString testo)
{
    testo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    testo.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return testo;
}

const QString kArchivioCambiato =
    QStringLiteral("L'archivio è stato modificato da un altro programma dopo che l'elenco è stato riempito: l'elenco è "
                   "stato aggiornato e nessuna correzione è stata eseguita.\rControllare la scelta e premere di nuovo "
                   "\"Esegui\".");

QFrame* cornice(QWidget* parent, const char* nome, const QRect& r)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(nome));
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setAutoFillBackground(true);  // a frame in front hides what lies behind it
    f->setGeometry(r);
    return f;
}
}  // namespace

FrmRepair::FrmRepair(Sessione& sessione, QWidget* parent) : QDialog(parent), m_(sessione)
{
    creaControlli();
    m_.Cedi = [] { QCoreApplication::processEvents(); };
    m_.Rispondi = [] { QCoreApplication::processEvents(); };
    m_.Ridisegna = [this] { repaint(); };
    // The detail box follows the selected task, however the selection moved (mouse or keys).
    connect(&m_.LstTask, &ModelloLista::selezioneCambiata, this, [this] { mostraDettaglio(); });
    connect(&m_, &Manutenzione::lblStatCambiato, this, [this](const QString& t) { lblStat_->setText(perSchermo(t)); });
    connect(&m_, &Manutenzione::txtDettCambiato, this,
            [this](const QString& t) { txtDett_->setPlainText(perSchermo(t)); });
    CollegaCorrezioniStruttura(m_);
    // The re-check rebuilds the structure list: each row run keeps its outcome on it.
    HookCorrezioni& c = m_.Correzioni;
    c.AttivaCorrezioneStruttura = [this, attiva = c.AttivaCorrezioneStruttura] {
        attiva();
        rimettiEsiti();
    };
    c.GestisciCorrezioneStruttura = [this, gestisci = c.GestisciCorrezioneStruttura](int p) {
        gestisci(p);
        ricordaEsiti();
    };
    connect(&m_.LstStruct, &ModelloLista::selezioneCambiata, this, [this](int pos) { mostraEsitoStruttura(pos); });
    CollegaCorrezioneRecord(*this);
    CollegaSalvaRapporto(*this);
    presenza_ = std::make_unique<PresenzaArchivio>(sessione,
                                                   sessione.DbArchivi.isNull() ? QString() : sessione.DbArchivi.Name());
    Form_Load();
}

void FrmRepair::creaControlli()
{
    setObjectName(QStringLiteral("FrmRepair"));
    setWindowTitle(QStringLiteral("Manutenzione Archivi"));
    // The window opens at its designed size and may be made larger: the views grow with it.
    setMinimumSize(px(7275), px(6615));
    resize(minimumSize());

    frmStruct_ = cornice(this, "FrmStruct", twip(45, -15, 7110, 5040));
    lDescr1_ = new QLabel(QStringLiteral("Risoluzione Problemi Struttura"), frmStruct_);
    lDescr1_->setObjectName(QStringLiteral("LDescr1"));
    lstStruct_ = new QTreeWidget(frmStruct_);
    lstStruct_->setObjectName(QStringLiteral("LstStruct"));

    frmCorr_ = cornice(this, "FrmCorr", twip(45, -15, 7110, 5025));

    lstTask_ = new QTreeWidget(this);
    lstTask_->setObjectName(QStringLiteral("LstTask"));
    lstTask_->viewport()->installEventFilter(this);

    frmLog_ = cornice(this, "FrmLog", twip(45, 5010, 7110, 1050));
    lblStat_ = new QLabel(QStringLiteral("S"), frmLog_);
    lblStat_->setObjectName(QStringLiteral("LblStat"));
    lblStat_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStat_->setWordWrap(true);

    txtDett_ = new QPlainTextEdit(this);
    txtDett_->setObjectName(QStringLiteral("TxtDett"));
    txtDett_->setReadOnly(true);

    const char* testi[4] = {"Avvia Controllo", "Controlla", "Correggi", "Chiudi"};
    auto* guardia = new GuardiaDoppioClic(this);
    for (int i = 0; i < 4; ++i) {
        puls_[i] = new QPushButton(QString::fromUtf8(testi[i]), this);
        puls_[i]->setObjectName(QStringLiteral("Puls%1").arg(i));
        // No default button: Enter presses the focused button and nothing else (keyPressEvent).
        puls_[i]->setAutoDefault(false);
        guardia->Proteggi(puls_[i]);
        connect(puls_[i], &QPushButton::clicked, this, [this, i] { Puls_Click(i); });
    }
    disponi();

    mnLst_ = new QMenu(this);
    mnLst_->setObjectName(QStringLiteral("MnLst"));
    QAction* tutti = mnLst_->addAction(QStringLiteral("Seleziona Tutti"));
    tutti->setObjectName(QStringLiteral("MnLstSelAll"));
    connect(tutti, &QAction::triggered, &m_, &Manutenzione::SelezionaTutti);
    QAction* uno = mnLst_->addAction(QStringLiteral("Seleziona solo questo"));
    uno->setObjectName(QStringLiteral("MnLstSelOne"));
    connect(uno, &QAction::triggered, &m_, &Manutenzione::SelezionaSoloQuesto);
    QAction* inverti = mnLst_->addAction(QStringLiteral("Inverti selezione fino in fondo"));
    inverti->setObjectName(QStringLiteral("MnLstInvSel"));
    connect(inverti, &QAction::triggered, &m_, &Manutenzione::InvertiSelezione);
    // The way back, without a control of its own (the window keeps its controls): Ctrl+R opens
    // the journal of the archive's changes, with undo and the safety copies.
    auto* registro = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    registro->setObjectName(QStringLiteral("ScRegistro"));
    connect(registro, &QShortcut::activated, this, [this] {
        FrmRegistro f(m_.sessione(), this);
        f.exec();
    });

    vistaTask_ = new VistaLista(m_.LstTask, lstTask_, this);
    vistaStruct_ = new VistaLista(m_.LstStruct, lstStruct_, this);
}

// The designed layout, stretched by what the window has grown: the upper views take the extra
// width and height, the lower strip and the buttons keep their height and follow the bottom edge,
// "Chiudi" the right edge.
void FrmRepair::disponi()
{
    if (!puls_[3])
        return;
    const int dx = qMax(0, width() - px(7275));
    const int dy = qMax(0, height() - px(6615));
    const auto su = [&](int x, int y, int w, int h) { return twip(x, y, w, h).adjusted(0, 0, dx, dy); };
    const auto giu = [&](int x, int y, int w, int h) {
        return twip(x, y, w, h).translated(0, dy).adjusted(0, 0, dx, 0);
    };
    frmStruct_->setGeometry(su(45, -15, 7110, 5040));
    lDescr1_->setGeometry(twip(120, 120, 6870, 285).adjusted(0, 0, dx, 0));
    lstStruct_->setGeometry(su(120, 450, 6870, 4470));
    frmCorr_->setGeometry(su(45, -15, 7110, 5025));
    lstTask_->setGeometry(su(60, 60, 7095, 4935));
    frmLog_->setGeometry(giu(45, 5010, 7110, 1050));
    lblStat_->setGeometry(twip(105, 225, 6825, 660).adjusted(0, 0, dx, 0));
    txtDett_->setGeometry(giu(45, 5010, 7110, 1050));
    // Each button is at least as wide as the longest text it takes in any mode; a wider one
    // pushes the next along, keeping the designed gap.
    const QRect pulsanti[4] = {twip(45, 6120, 1575, 450), twip(1635, 6120, 1575, 450), twip(3240, 6135, 1575, 450),
                               twip(5580, 6120, 1575, 450)};
    const QStringList testi[4] = {{"Avvia Controllo", "Ripristina", "Visualizza Lista"},
                                  {"Controlla"},
                                  {"Correggi", "Dettagli", "Esegui"},
                                  {"Chiudi"}};
    int spinta = 0;
    for (int i = 0; i < 4; ++i) {
        QRect r = pulsanti[i].translated(i == 3 ? dx : spinta, dy);
        const int extra = qMax(0, LarghezzaPulsante(puls_[i], testi[i]) - r.width());
        r.setWidth(r.width() + extra);
        if (i == 3)
            r.translate(-extra, 0);
        else
            spinta += extra;
        puls_[i]->setGeometry(r);
    }
}

void FrmRepair::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    disponi();
}

QPushButton* FrmRepair::Puls(int indice) const { return (indice >= 0 && indice < 4) ? puls_[indice] : nullptr; }

void FrmRepair::Form_Load()
{
    const ClessidraAccesa clessidra(m_.sessione().operatore());
    CentraForm(this);
    m_.CreaLista();
    caricaCatalogo();
    ImpostaModo(ModoRepair::Selezione);
}

void FrmRepair::Form_Unload()
{
    if (scaricato_)
        return;
    const ClessidraAccesa clessidra(m_.sessione().operatore());
    scaricato_ = true;
    emit scaricata();
}

void FrmRepair::caricaCatalogo()
{
    esitiStruttura_.clear();
    try {
        CaricaTask(m_);
    } catch (const dbe::DbError& e) {
        // The operator's box puts the busy pointer away while it shows.
        m_.sessione().operatore().Mostra(QStringLiteral("Impossibile leggere le tabelle del DB Master.") + QChar(13)
                                         + e.description());
    }
}

void FrmRepair::ImpostaModo(ModoRepair modo)
{
    modo_ = modo;
    switch (modo) {
    case ModoRepair::Selezione:
        lstTask_->show();
        lstTask_->raise();
        frmCorr_->hide();
        frmStruct_->hide();
        chiaveVista_.clear();
        for (int i = 0; i < m_.LstTask.Conta(); ++i)
            m_.ImpostaStato(i, kStatoStart);
        puls_[0]->setEnabled(true);
        puls_[0]->setText(QStringLiteral("Avvia Controllo"));
        puls_[1]->hide();
        puls_[1]->setEnabled(true);
        puls_[2]->hide();
        frmLog_->show();
        m_.ImpostaLblStat(QStringLiteral("Spuntare i controlli da effettuare"));
        txtDett_->hide();
        break;
    case ModoRepair::Analisi:
        puls_[0]->setEnabled(false);
        frmLog_->show();
        m_.ImpostaLblStat(QStringLiteral("Analisi dati in corso ..."));
        repaint();
        break;
    case ModoRepair::Risultati:
        puls_[0]->setEnabled(true);
        puls_[0]->setText(QStringLiteral("Ripristina"));
        puls_[2]->setText(QStringLiteral("Dettagli"));
        puls_[1]->show();
        puls_[2]->show();
        txtDett_->show();
        frmLog_->hide();
        frmCorr_->hide();
        // One view at a time: a view kept behind another could still take the focus and keys.
        frmStruct_->hide();
        lstTask_->show();
        lstTask_->raise();
        chiaveVista_.clear();
        break;
    case ModoRepair::VistaCorrezione:
        puls_[0]->setEnabled(true);
        puls_[2]->show();
        puls_[0]->setText(QStringLiteral("Visualizza Lista"));
        puls_[2]->setText(QStringLiteral("Esegui"));
        frmLog_->hide();
        lstTask_->hide();
        break;
    default: break;
    }
}

void FrmRepair::Puls_Click(int indice)
{
    switch (indice) {
    case 0:
        if (modo_ == ModoRepair::Selezione) {
            m_.ImpostaTxtDett(QString());  // no earlier task's text while the new results come
            ImpostaModo(ModoRepair::Analisi);
            const ClessidraAccesa clessidra(m_.sessione().operatore());
            AvviaControllo(m_);
            ImpostaModo(ModoRepair::Risultati);
            mostraDettaglio();
            // The results take the keys (the start button was disabled during the run, which
            // left the focus on "Chiudi").
            lstTask_->setFocus(Qt::OtherFocusReason);
        } else if (modo_ == ModoRepair::Risultati) {
            caricaCatalogo();
            ImpostaModo(ModoRepair::Selezione);
        } else if (modo_ == ModoRepair::VistaCorrezione) {
            ImpostaModo(ModoRepair::Risultati);
        }
        break;
    case 1: controlla(); break;
    case 2: correggi(); break;
    case 3:
        if (modo_ == ModoRepair::Analisi)
            m_.Interrompi = true;
        else
            reject();
        break;
    default: break;
    }
}

// An engine error while a correction view is filled or applied is reported, and the step is
// taken as not done.
bool FrmRepair::eseguiCorrezione(const std::function<void()>& passo)
{
    try {
        passo();
        return true;
    } catch (const dbe::DbError& e) {
        m_.sessione().operatore().Mostra(QStringLiteral("Impossibile eseguire l'operazione.") + QChar(13)
                                         + e.description());
        return false;
    }
}

// The row the buttons act on: in the correction view, the task the view was opened for (made the
// selected row again, should anything have moved the selection); otherwise the selected row.
int FrmRepair::rigaAttiva()
{
    if (modo_ != ModoRepair::VistaCorrezione || chiaveVista_.isEmpty())
        return m_.LstTask.Selezionata();
    const int pos = m_.LstTask.Trova(chiaveVista_);
    if (pos >= 0)
        m_.LstTask.Seleziona(pos);
    return pos;
}

void FrmRepair::controlla()
{
    const int sel = rigaAttiva();
    if (sel < 0)
        return;
    const ClessidraAccesa clessidra(m_.sessione().operatore());
    RicontrollaTask(m_, sel);
    const DatiTask& t = m_.Task(sel);
    m_.ImpostaTxtDett(t.Dettaglio);
    // A structure task that has never run has no problem counter: there is no list to build.
    if (t.Genere() == GenereTask::Struttura && !t.P[1].isEmpty() && m_.Correzioni.AttivaCorrezioneStruttura) {
        eseguiCorrezione(m_.Correzioni.AttivaCorrezioneStruttura);
        const QString falliti = rimettiEsiti();
        if (!falliti.isEmpty())
            m_.ImpostaTxtDett(t.Dettaglio + QChar(13) + QChar(13) + falliti);
    }
    impronta_ = ImprontaArchivio::Di(m_.sessione().DbArchivi);
}

void FrmRepair::mostraDettaglio()
{
    const int sel = m_.LstTask.Selezionata();
    if (sel < 0)
        return;
    // A task waiting to run shows nothing: its record may still hold an earlier run's detail
    // (after an interrupted run, say), which would read as this run's count.
    if (m_.Task(sel).Stato == kStatoStart)
        m_.ImpostaTxtDett(QString());
    else
        m_.MostraDettaglio();
}

void FrmRepair::ricordaEsiti()
{
    const int sel = m_.LstTask.Selezionata();
    if (sel < 0)
        return;
    QHash<QString, RigaLista>& esiti = esitiStruttura_[m_.LstTask.Riga(sel).Chiave];
    for (int pos = 0; pos < m_.LstStruct.Conta(); ++pos) {
        const RigaLista& r = m_.LstStruct.Riga(pos);
        if (r.TestoStato == QLatin1String("Da Eseguire"))
            continue;
        esiti.insert(r.Tag, r);
        // An index rebuilt for a field it lacked that could not be made again is gone: the re-check
        // lists it as missing, and that row carries the outcome and the way back.
        if (!r.Nota.isEmpty() && RicavaDatoDaCod(QStringLiteral("CODICE"), r.Tag) == cod::NoFldIdx)
            esiti.insert(cod::NoIdx + QLatin1Char('>') + RicavaDatoDaCod(QStringLiteral("INDICE"), r.Tag), r);
    }
}

QString FrmRepair::rimettiEsiti()
{
    const int sel = m_.LstTask.Selezionata();
    if (sel < 0)
        return QString();
    const auto trovati = esitiStruttura_.constFind(m_.LstTask.Riga(sel).Chiave);
    if (trovati == esitiStruttura_.constEnd())
        return QString();
    QStringList falliti;
    for (int pos = 0; pos < m_.LstStruct.Conta(); ++pos) {
        const auto e = trovati->constFind(m_.LstStruct.Riga(pos).Tag);
        if (e == trovati->constEnd())
            continue;
        m_.LstStruct.ImpostaTestoStato(pos, e->TestoStato);
        m_.LstStruct.ImpostaIcona(pos, e->Icona);
        m_.LstStruct.ImpostaNota(pos, e->Nota);
        if (!e->Nota.isEmpty())
            falliti << e->Testo + QStringLiteral(": ") + e->TestoStato + QChar(13) + e->Nota;
    }
    return falliti.join(QChar(13));
}

void FrmRepair::mostraEsitoStruttura(int pos)
{
    // A structure row chosen in the list shows its own outcome and reason in full.
    if (modo_ != ModoRepair::VistaCorrezione || pos < 0 || pos >= m_.LstStruct.Conta())
        return;
    const RigaLista& r = m_.LstStruct.Riga(pos);
    if (!r.Nota.isEmpty())
        m_.ImpostaTxtDett(r.Testo + QStringLiteral(": ") + r.TestoStato + QChar(13) + r.Nota);
    else
        mostraDettaglio();
}

void FrmRepair::correggi()
{
    const int sel = rigaAttiva();
    if (sel < 0)
        return;
    const int i = Manutenzione::Id(m_.LstTask.Riga(sel).Chiave);
    const DatiTask& t = m_.Task(sel);
    const HookCorrezioni& c = m_.Correzioni;
    if (modo_ == ModoRepair::Risultati) {
        if (t.Stato == kStatoOk || t.Stato == kStatoStart || t.Correggibile == QLatin1String("N"))
            return;
        bool aperta = true;
        if (SuiRecord(t.Genere())) {
            frmCorr_->show();
            frmCorr_->raise();
            if (c.AttivaCorrezioneRecord)
                aperta = eseguiCorrezione([&] { c.AttivaCorrezioneRecord(i); });
        } else if (t.Genere() == GenereTask::Struttura) {
            frmStruct_->show();
            frmStruct_->raise();
            if (c.AttivaCorrezioneStruttura)
                aperta = eseguiCorrezione(c.AttivaCorrezioneStruttura);
        }
        if (!aperta) {
            frmCorr_->hide();
            frmStruct_->hide();
            lstTask_->raise();
            return;
        }
        chiaveVista_ = m_.LstTask.Riga(sel).Chiave;
        impronta_ = ImprontaArchivio::Di(m_.sessione().DbArchivi);
        ImpostaModo(ModoRepair::VistaCorrezione);
        // The keys go to the view just opened: its grid of records or its list of corrections.
        QWidget* vista = t.Genere() == GenereTask::Struttura ? static_cast<QWidget*>(lstStruct_)
                                                             : frmCorr_->findChild<QWidget*>(QStringLiteral("DBGrid1"));
        if (vista)
            vista->setFocus(Qt::OtherFocusReason);
    } else if (modo_ == ModoRepair::VistaCorrezione) {
        if (access::AccessInSolaLettura(m_.sessione().DbArchivi)) {
            m_.sessione().operatore().Mostra(access::MessaggioSolaLettura(m_.sessione().DbArchivi));
            return;
        }
        if (SuiRecord(t.Genere()) && !(c.RecordSelezionati && c.RecordSelezionati() > 0)) {
            m_.sessione().operatore().Mostra(QStringLiteral("Nessun record selezionato."));
            return;
        }
        if (!impronta_.Uguale(m_.sessione().DbArchivi)) {
            // Another program wrote since the view was filled: what the operator chose may no
            // longer be there. The view is filled again and nothing is corrected.
            m_.sessione().operatore().Mostra(kArchivioCambiato);
            if (SuiRecord(t.Genere()) && c.AttivaCorrezioneRecord)
                eseguiCorrezione([&] { c.AttivaCorrezioneRecord(i); });
            controlla();
            return;
        }
        std::function<void(int)> correzione;
        if (t.Genere() == GenereTask::RecordNulli || t.Genere() == GenereTask::RecordOrfani)
            correzione = c.GestisciCorrezioneEN;
        else if (t.Genere() == GenereTask::RecordAccoppiati)
            correzione = c.GestisciCorrezioneENP;
        else if (t.Genere() == GenereTask::Struttura)
            correzione = c.GestisciCorrezioneStruttura;
        if (correzione)
            eseguiCorrezione([&] { correzione(i); });
        controlla();
    }
}

void FrmRepair::reject()
{
    // During an analysis the window stays: closing only asks the run loop to stop.
    if (modo_ == ModoRepair::Analisi) {
        m_.Interrompi = true;
        return;
    }
    Form_Unload();
    QDialog::reject();
}

void FrmRepair::keyPressEvent(QKeyEvent* e)
{
    // Enter presses the button that has the focus; anywhere else (the lists, the grid, the combo
    // box) it presses nothing. Escape closes as the close box does.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* b = qobject_cast<QPushButton*>(focusWidget());
        if (b && b->isVisible() && b->isEnabled())
            b->click();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void FrmRepair::closeEvent(QCloseEvent* e)
{
    if (modo_ == ModoRepair::Analisi) {
        m_.Interrompi = true;
        e->ignore();
        return;
    }
    Form_Unload();
    QDialog::closeEvent(e);
}

bool FrmRepair::eventFilter(QObject* o, QEvent* e)
{
    if (o == lstTask_->viewport()) {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::RightButton) {
                mnLst_->popup(me->globalPosition().toPoint());
                return true;
            }
        } else if (e->type() == QEvent::MouseButtonRelease) {
            // A click on the list shows the selected task's detail (the press has already
            // moved the selection).
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
                mostraDettaglio();
        }
    }
    return QDialog::eventFilter(o, e);
}

}  // namespace corvale
