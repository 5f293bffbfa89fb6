#include "salva_rapporto.h"

#include "access/solo_lettura.h"
#include "widgets/icone_senza_lettura.h"

#include "frm_repair.h"

#include "core/sessione.h"
#include "widgets/finestre.h"
#include "core/operatore.h"
#include "report/rapporto_html.h"

#include <QAction>
#include <QIcon>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>

namespace corvale {

namespace {

// The folder of the open archive (the settings' folder when none is open).
QString cartellaArchivio(const Sessione& s)
{
    if (!s.DbArchivi.isNull())
        return QFileInfo(access::FileAperto(s.DbArchivi)).absolutePath();
    return s.PathArchivi;
}

// The chooser, with every text it shows in Italian (Qt's own dialog, on every platform).
QString scegliFile(QWidget* padre, const QString& proposto)
{
    QFileDialog d(padre, QStringLiteral("Salva il rapporto del controllo"));
    IconeSenzaLettura icone;
    d.setIconProvider(&icone);
    d.setObjectName(QStringLiteral("DlgRapporto"));
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setOption(QFileDialog::DontConfirmOverwrite);  // asked below, in Italian
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setViewMode(QFileDialog::List);
    d.setNameFilter(QStringLiteral("Pagine HTML (*.html *.htm)"));
    d.setDefaultSuffix(QStringLiteral("html"));
    d.setLabelText(QFileDialog::LookIn, QStringLiteral("Cartella:"));
    d.setLabelText(QFileDialog::FileName, QStringLiteral("Nome del file:"));
    d.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo di file:"));
    d.setLabelText(QFileDialog::Accept, QStringLiteral("Salva"));
    d.setLabelText(QFileDialog::Reject, QStringLiteral("Annulla"));
    const struct {
        const char* nome;
        const char* testo;
    } pulsanti[] = {{"backButton", "Indietro"},
                    {"forwardButton", "Avanti"},
                    {"toParentButton", "Cartella superiore"},
                    {"newFolderButton", "Nuova cartella"},
                    {"listModeButton", "Elenco"},
                    {"detailModeButton", "Dettagli"}};
    for (const auto& p : pulsanti) {
        if (auto* b = d.findChild<QToolButton*>(QLatin1String(p.nome)))
            b->setToolTip(QString::fromUtf8(p.testo));
    }
    const QFileInfo fi(proposto);
    d.setDirectory(fi.absolutePath());
    d.selectFile(fi.fileName());
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return QString();
    return d.selectedFiles().constFirst();
}

}  // namespace

QAction* CollegaSalvaRapporto(FrmRepair& finestra)
{
    QMenu* menu = finestra.MnLst();
    menu->addSeparator();
    QAction* voce = menu->addAction(QStringLiteral("Salva rapporto..."));
    voce->setObjectName(QStringLiteral("MnLstRapporto"));
    voce->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    voce->setShortcutContext(Qt::WindowShortcut);
    finestra.addAction(voce);
    FrmRepair* f = &finestra;
    QObject::connect(menu, &QMenu::aboutToShow, voce,
                     [voce, f] { voce->setEnabled(f->Modo() == ModoRepair::Risultati); });
    QObject::connect(voce, &QAction::triggered, f, [f] { SalvaRapporto(*f); });
    return voce;
}

bool SalvaRapporto(FrmRepair& finestra)
{
    if (finestra.Modo() != ModoRepair::Risultati)
        return false;
    const QDateTime ora = QDateTime::currentDateTime();
    const QString file =
        scegliFile(&finestra, NomeRapportoProposto(cartellaArchivio(finestra.Controllore().sessione()), ora.date()));
    if (file.isEmpty())
        return false;
    const QString nome = QDir::toNativeSeparators(file);
    if (QFileInfo::exists(file)
        && finestra.Controllore().sessione().operatore().Mostra(
               QStringLiteral("Il file %1 esiste già. Sostituirlo ?").arg(nome), Pulsanti::SiNo)
               != Risposta::Si)
        return false;
    QString errore;
    bool scritto = false;
    {
        const ClessidraAccesa clessidra(finestra.Controllore().sessione().operatore());
        scritto = ScriviRapportoHtml(RaccogliRapporto(finestra.Controllore(), ora), file, &errore);
    }
    finestra.Controllore().sessione().operatore().Mostra(scritto ? QStringLiteral("Rapporto salvato in %1.").arg(nome)
                                                                 : errore);
    return scritto;
}

}  // namespace corvale
