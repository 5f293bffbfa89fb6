#include "frm_princ.h"

#include "access/solo_lettura.h"
#include "core/avvio.h"
#include "core/sessione.h"
#include "dir_selector.h"
#include "widgets/doppio_clic.h"
#include "widgets/finestre.h"
#include "apertura_manutenzione.h"
#include "core/operatore.h"
#include "core/presenza_archivio.h"
#include "pulsante_multiriga.h"
#include "core/varco.h"
#include "core/versione.h"
#include "safety/versione_registrata.h"
#include "safety/sessione_sicurezza.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace corvale {

namespace {

// A rectangle given in twips, in pixels.
QRect Twips(int sinistra, int alto, int larghezza, int altezza)
{
    const int t = FrmPrinc::Twip;
    return QRect(sinistra / t, alto / t, larghezza / t, altezza / t);
}

const QString kEtichettaVersione = QStringLiteral("Versione DB Rilevata --->");

QString DescrizioneErrore(const std::exception& e)
{
    if (const auto* db = dynamic_cast<const dbe::DbError*>(&e))
        return db->description();
    return QString::fromLocal8Bit(e.what());
}

}  // namespace

FrmPrinc::FrmPrinc(Sessione& sessione, QWidget* padre) : QWidget(padre), s_(sessione)
{
    setObjectName(QStringLiteral("FrmPrinc"));
    setWindowTitle(QStringLiteral("Lumera Win 2001 - Gestione Archivi"));
    // The window opens at its designed size and may be made larger.
    setMinimumSize(7875 / Twip, 3840 / Twip);
    resize(minimumSize());

    LTit = new QLabel(QStringLiteral("Questa utility permette di gestire gli archivi usati da Lumera e correggere "
                                     "eventuali errori di allineamento dei dati recuperando la corretta "
                                     "funzionalità del programma."),
                      this);
    LTit->setObjectName(QStringLiteral("LTit"));
    LTit->setWordWrap(true);
    LTit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LTit->setGeometry(Twips(150, 75, 7635, 1500));

    LDescr.append(new QLabel(QStringLiteral("Path Archivi"), this));
    LDescr[0]->setObjectName(QStringLiteral("LDescr0"));
    LDescr[0]->setGeometry(Twips(75, 1800, 1155, 315));

    TxtPath = new QLineEdit(this);
    TxtPath->setObjectName(QStringLiteral("TxtPath"));
    TxtPath->setGeometry(Twips(1245, 1755, 4725, 330));
    TxtPath->installEventFilter(this);

    PulsDir = new QPushButton(QStringLiteral("Sfoglia"), this);
    PulsDir->setObjectName(QStringLiteral("PulsDir"));
    PulsDir->setGeometry(Twips(6000, 1770, 870, 330));

    PulsApri = new QPushButton(QStringLiteral("Apri Db"), this);
    PulsApri->setObjectName(QStringLiteral("PulsApri"));
    PulsApri->setGeometry(Twips(6885, 1770, 870, 330));

    LDescr.append(new QLabel(QStringLiteral("Versione Rilevata"), this));
    LDescr[1]->setObjectName(QStringLiteral("LDescr1"));
    LDescr[1]->setGeometry(Twips(105, 2250, 5805, 300));

    Puls.append(new PulsanteMultiriga(QStringLiteral("Analisi Struttura"), this));
    Puls[0]->setObjectName(QStringLiteral("Puls0"));
    Puls[0]->setGeometry(Twips(165, 2775, 1275, 960));
    Puls.append(new PulsanteMultiriga(QStringLiteral("Imposta Numero Versione"), this));
    Puls[1]->setObjectName(QStringLiteral("Puls1"));
    Puls[1]->setGeometry(Twips(1440, 2775, 1275, 960));

    PulsFine = new PulsanteMultiriga(QStringLiteral("Chiudi"), this);
    PulsFine->setObjectName(QStringLiteral("PulsFine"));
    PulsFine->setGeometry(Twips(6480, 2775, 1275, 960));

    DirSel = new DirSelector(this);
    DirSel->setObjectName(QStringLiteral("DirSel"));
    DirSel->move(6840 / Twip, 2205 / Twip);

    disponi();
    auto* guardia = new GuardiaDoppioClic(this);
    for (QPushButton* b : {PulsDir, PulsApri, Puls[0], Puls[1], PulsFine}) {
        // Enter presses the button that has the focus; a double click is one press.
        b->setAutoDefault(true);
        guardia->Proteggi(b);
    }
    for (QWidget* w : {static_cast<QWidget*>(TxtPath), static_cast<QWidget*>(PulsDir), static_cast<QWidget*>(PulsApri),
                       static_cast<QWidget*>(Puls[0]), static_cast<QWidget*>(PulsFine), static_cast<QWidget*>(Puls[1])})
        w->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(TxtPath, PulsDir);
    setTabOrder(PulsDir, PulsApri);
    setTabOrder(PulsApri, Puls[0]);
    setTabOrder(Puls[0], PulsFine);
    setTabOrder(PulsFine, Puls[1]);

    connect(PulsApri, &QPushButton::clicked, this, [this] { PulsApri_Click(); });
    connect(PulsDir, &QPushButton::clicked, this, [this] { PulsDir_Click(); });
    connect(PulsFine, &QPushButton::clicked, this, [this] { PulsFine_Click(); });
    for (int i = 0; i < Puls.size(); ++i)
        connect(Puls[i], &QPushButton::clicked, this, [this, i] { Puls_Click(i); });

    // Form_Load
    CentraForm(this);
    ImpostaDbAperto(false);
    TxtPath->setText(s_.PathArchivi);
    TxtPath->setFocus(Qt::OtherFocusReason);
}

FrmPrinc::~FrmPrinc()
{
    // No path check while the window goes away.
    TxtPath->removeEventFilter(this);
    qApp->removeEventFilter(this);
}

// The designed layout, stretched by what the window has grown: the texts and the path box take
// the extra width, the buttons follow the right and bottom edges. "Sfoglia" and "Apri DB" are
// widened, at the path box's expense, when their texts would not fit the designed width.
void FrmPrinc::disponi()
{
    if (!DirSel)
        return;
    const int dx = qMax(0, width() - 7875 / Twip);
    const int dy = qMax(0, height() - 3840 / Twip);
    LTit->setGeometry(Twips(150, 75, 7635, 1500).adjusted(0, 0, dx, 0));
    LDescr[1]->setGeometry(Twips(105, 2250, 5805, 300).adjusted(0, 0, dx, 0));
    const QRect apri = Twips(6885, 1770, 870, 330).translated(dx, 0);
    const int wApri =
        qMax(apri.width(), LarghezzaPulsante(PulsApri, {QStringLiteral("Apri DB"), QStringLiteral("Chiudi DB")}));
    PulsApri->setGeometry(apri.adjusted(apri.width() - wApri, 0, 0, 0));
    const QRect dir = Twips(6000, 1770, 870, 330).translated(dx - (wApri - apri.width()), 0);
    const int wDir = qMax(dir.width(), LarghezzaPulsante(PulsDir, {QStringLiteral("Sfoglia")}));
    PulsDir->setGeometry(dir.adjusted(dir.width() - wDir, 0, 0, 0));
    const QRect path = Twips(1245, 1755, 4725, 330);  // up to 2 pixels before "Sfoglia"
    TxtPath->setGeometry(QRect(path.x(), path.y(), PulsDir->x() - 2 - path.x(), path.height()));
    Puls[0]->setGeometry(Twips(165, 2775, 1275, 960).translated(0, dy));
    Puls[1]->setGeometry(Twips(1440, 2775, 1275, 960).translated(0, dy));
    PulsFine->setGeometry(Twips(6480, 2775, 1275, 960).translated(dx, dy));
    DirSel->move(6840 / Twip + dx, 2205 / Twip);
}

void FrmPrinc::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    disponi();
}

void FrmPrinc::ImpostaDbAperto(bool Aperto)
{
    dbAperto_ = Aperto;
    presenza_.reset();
    if (Aperto && !s_.DbArchivi.isNull())
        presenza_ = std::make_unique<PresenzaArchivio>(s_, s_.DbArchivi.Name());
    if (Aperto) {
        Puls[0]->setEnabled(true);
        Puls[1]->setEnabled(true);
        PulsApri->setText(QStringLiteral("Chiudi DB"));
        // The stamp is read afresh; an archive whose stamp cannot be read (no AGENZIA, say)
        // stays open with an empty stamp, and the operator is told why.
        QString versione, errore;
        bool fallita = false;
        try {
            versione = VersioneDb(s_);
        } catch (const std::exception& e) {
            fallita = true;
            errore = DescrizioneErrore(e);
        }
        LDescr[1]->setText(kEtichettaVersione + versione);
        LDescr[1]->setVisible(true);
        TxtPath->setEnabled(false);
        PulsDir->setEnabled(false);
        if (fallita)
            s_.operatore().Mostra(QStringLiteral("Impossibile leggere la versione del database.") + QChar(u'\r')
                                  + errore);
    } else {
        Puls[0]->setEnabled(false);
        Puls[1]->setEnabled(false);
        PulsApri->setText(QStringLiteral("Apri DB"));
        LDescr[1]->setVisible(false);
        TxtPath->setEnabled(true);
        PulsDir->setEnabled(true);
    }
}

void FrmPrinc::PulsApri_Click()
{
    ControlloPendente();
    if (dbAperto_) {
        try {
            s_.DbArchivi.Close();
        } catch (const std::exception& e) {
            // Whatever the error, the operator is told and the archive is taken as closed.
            s_.operatore().Mostra(QStringLiteral("Impossibile chiudere il database.") + QChar(u'\r')
                                  + DescrizioneErrore(e));
        }
        ImpostaDbAperto(false);
        return;
    }

    const QString cartella = TxtPath->text();
    try {
        ClessidraAccesa clessidra(s_.operatore());
        s_.DbArchivi = access::ApriDatabase(PercorsoArchivio(cartella));
    } catch (const std::exception& e) {
        ImpostaDbAperto(false);
        QString testo = QStringLiteral("Impossibile aprire il database.") + QChar(u'\r') + DescrizioneErrore(e);
        // An empty folder: the settings file gave none, and a missing one is named.
        const QString avviso =
            cartella.trimmed().isEmpty() ? AvvisoFileImpostazioni(s_.CartellaProgramma()) : QString();
        if (!avviso.isEmpty())
            testo += QChar(u'\r') + avviso;
        s_.operatore().Mostra(testo);
        return;
    }
    ImpostaDbAperto(true);
    s_.PathArchivi = cartella;
}

void FrmPrinc::PulsDir_Click()
{
    ControlloPendente();
    const QString cartella = DirSel->Apri(QStringLiteral("Scegliere la cartella contenente il DB di Lumera"));
    if (!cartella.isEmpty())
        TxtPath->setText(cartella);
}

void FrmPrinc::PulsFine_Click()
{
    ControlloPendente();
    close();
}

void FrmPrinc::TxtPath_LostFocus()
{
    // The folder typed in the path box, not the last one opened.
    if (!QFileInfo(PercorsoArchivio(TxtPath->text())).isFile())
        s_.operatore().Mostra(QStringLiteral("PathDb non valido!"));
}

void FrmPrinc::Puls_Click(int Index)
{
    ControlloPendente();
    switch (Index) {
    case 0: AnalisiStruttura(); break;
    case 1: ImpostaNumeroVersione(); break;
    default: break;
    }
}

void FrmPrinc::ImpostaNumeroVersione()
{
    if (access::AccessInSolaLettura(s_.DbArchivi)) {
        s_.operatore().Mostra(access::MessaggioSolaLettura(s_.DbArchivi));
        return;
    }
    const QString voce =
        s_.operatore().Chiedi(QStringLiteral("Immettere la versione (formato A.XX oppure O per azzerare) "));
    const VoceVersione esito = ValutaVoceVersione(voce);
    if (esito.esito == EsitoVoce::Vuota)
        return;
    if (esito.esito == EsitoVoce::NonValida) {
        s_.operatore().Mostra(QStringLiteral("Versione non valida."));
        return;
    }
    if (!PrimaDellaModifica(s_))
        return;
    try {
        VersioneDb(s_, esito.valore);
    } catch (const std::exception& e) {
        // Whatever the error, the operator is told and the stamp shown stays the old one.
        s_.operatore().Mostra(QStringLiteral("Impossibile scrivere la versione del database.") + QChar(u'\r')
                              + DescrizioneErrore(e));
        return;
    }
    LDescr[1]->setText(kEtichettaVersione + esito.valore);
}

void FrmPrinc::AnalisiStruttura()
{
    if (VarcoVersione(s_))
        ApriManutenzione(s_, this);
}

void FrmPrinc::ControlloPendente()
{
    if (!controlloPendente_)
        return;
    controlloPendente_ = false;
    TxtPath_LostFocus();
}

bool FrmPrinc::eventFilter(QObject* oggetto, QEvent* evento)
{
    if (oggetto == TxtPath && evento->type() == QEvent::FocusOut) {
        // Only a move of the focus inside the program counts, not another window taking it.
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(evento)->reason();
        if (motivo == Qt::MouseFocusReason) {
            // A box shown in the middle of a press would take the release, and the click, away
            // from the button: wait for the release.
            controlloPendente_ = true;
            qApp->installEventFilter(this);
        } else if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason) {
            TxtPath_LostFocus();
        }
    } else if (evento->type() == QEvent::MouseButtonRelease && controlloPendente_) {
        // A click runs the check itself before acting; otherwise it runs once the release is done.
        qApp->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { ControlloPendente(); });
    }
    return QWidget::eventFilter(oggetto, evento);
}

}  // namespace corvale
