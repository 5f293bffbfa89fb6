// corvale-cli demo CARTELLA [--ordini N]: writes a complete demo, the settings file, the master
// database and an archive database whose structure and records carry problems of every kind the
// checks and corrections handle.
#include "ambiente_cli.h"
#include "comandi.h"
#include "demo_carico.h"
#include "demo_cartella.h"
#include "demo_dati.h"
#include "demo_differenze.h"
#include "demo_schema.h"
#include "demo_struttura.h"

#include "dbengine/dbengine.h"
#include "dbengine/inserter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace corvale::cli {

namespace {

const char* kUsoDemo = "Uso: corvale-cli demo CARTELLA [--ordini N]\n";

void scriviMaster(const demo::CartellaDemo& c, const demo::DatiDemo& dati)
{
    // The master is only ever read: it stays in rollback-journal mode, so that reading it leaves
    // no log files beside it.
    dbe::Database master = dbe::CreateDatabase(c.master);
    dbe::PrepareForBulkLoad(master);
    demo::CreaTabelleMaster(master);
    for (const QString& t : demo::DatiDemo::TabelleMaster())
        demo::CaricaTabella(master, t, dati, true, nullptr);
    master.Close();
}

qint64 scriviArchivio(const demo::CartellaDemo& c, const demo::DatiDemo& dati, QTextStream& err)
{
    dbe::Database master = dbe::OpenDatabase(c.master, true);
    dbe::Database archivio = dbe::CreateDatabase(c.archivioParziale);
    dbe::PrepareForBulkLoad(archivio);
    for (const demo::TabellaDemo& t : demo::SchemaMaster())
        demo::CreaTabellaArchivio(master, archivio, t.nome);
    // The order lines, the largest table, are built on a second thread in a file of their own,
    // indexes included; the archive's table stays empty, and gets its indexes with the others,
    // until they are moved into it at the end.
    const QString separata = QStringLiteral("DETT_ORD");
    qint64 totale = 0;
    {
        demo::CaricoSeparato righe(master, c.master, c.righeParziali, separata, dati);
        for (const QString& t : demo::DatiDemo::TabelleArchivio())
            if (t != separata)
                totale += demo::CaricaTabella(archivio, t, dati, false, &err);
        QElapsedTimer orologio;
        orologio.start();
        err << "  indici e proprietà..." << Qt::flush;
        for (const demo::TabellaDemo& t : demo::SchemaMaster())
            demo::CompletaTabellaArchivio(master, archivio, t.nome);
        err << " " << QString::number(orologio.elapsed() / 1000.0, 'f', 1) << " s\n" << Qt::flush;
        totale += righe.Unisci(archivio, &err);
    }
    archivio.Close();
    master.Close();
    // The bulk load left the file in rollback-journal mode; an open puts it back in the log mode
    // every later open expects, so that a mere check of the demo leaves its bytes as they are.
    dbe::OpenDatabase(c.archivioParziale).Close();
    // Complete and closed (its log folded back into it): it takes its name in one step.
    if (QFileInfo::exists(c.archivioParziale + QStringLiteral("-wal"))
        || std::rename(QFile::encodeName(c.archivioParziale).constData(), QFile::encodeName(c.archivio).constData())
               != 0)
        throw dbe::DbError(0, QStringLiteral("impossibile dare il nome %1 all'archivio scritto.").arg(c.archivio));
    return totale;
}

}  // namespace

int ComandoDemo(const QStringList& args)
{
    QTextStream err(stderr);
    QTextStream out(stdout);
    QString cartella;
    qint64 ordini = demo::kOrdiniPredefiniti;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--ordini")) {
            bool ok = false;
            ordini = i + 1 < args.size() ? args[++i].toLongLong(&ok) : 0;
            if (!ok || ordini < demo::kOrdiniMinimi || ordini > 100000000) {
                err << "Il numero di ordini deve essere un intero fra " << demo::kOrdiniMinimi << " e 100000000.\n"
                    << kUsoDemo;
                return kEsitoNonEseguito;
            }
        } else if (a.startsWith(QLatin1String("--")) || !cartella.isEmpty()) {
            err << "Argomento non valido: " << a << "\n" << kUsoDemo;
            return kEsitoNonEseguito;
        } else {
            cartella = a;
        }
    }
    if (cartella.isEmpty()) {
        err << "Indicare la cartella del demo.\n" << kUsoDemo;
        return kEsitoNonEseguito;
    }

    const demo::CartellaDemo c(cartella);
    if (const QString problema = c.Prepara(); !problema.isEmpty()) {
        err << problema << "\n";
        return kEsitoNonEseguito;
    }
    if (!c.ScriviIni()) {
        err << "Impossibile scrivere " << c.ini << ".\n";
        return kEsitoNonEseguito;
    }

    // The lines that tell what is being written: none with --silenzioso.
    QFile nulla(QStringLiteral("/dev/null"));
    QTextStream info(stderr);
    if (Silenzioso() && nulla.open(QIODevice::WriteOnly))
        info.setDevice(&nulla);
    QElapsedTimer orologio;
    orologio.start();
    // Two threads load at once: nothing is opened before this point.
    dbe::PrepareProcessForParallelLoad();
    const demo::DatiDemo dati(ordini);
    qint64 record = 0;
    try {
        info << "Database master " << c.master << "\n" << Qt::flush;
        scriviMaster(c, dati);
        info << "Archivio " << c.archivio << " (" << dati.Ordini() << " ordini)\n" << Qt::flush;
        record = scriviArchivio(c, dati, info);
    } catch (const dbe::DbError& e) {
        // Any failure writing the demo is reported, and the command fails.
        err << "\nErrore nella scrittura del demo: " << e.description() << "\n";
        return kEsitoNonEseguito;
    }
    out << "Demo scritto in " << c.cartella << ": LUMERA.INI, esempio.mdb (versione " << demo::VersioneDemoMaster()
        << "), archivi/lumera.mdb (versione " << demo::VersioneDemoArchivio() << ", " << record << " record) in "
        << QString::number(orologio.elapsed() / 1000.0, 'f', 1) << " s.\n";
    return kEsitoRiuscito;
}

}  // namespace corvale::cli
