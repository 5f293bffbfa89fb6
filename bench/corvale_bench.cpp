// corvale-bench: the timed parts of bench/run.sh that corvale-cli has no command for. It drives the
// program's own code, nothing copied: the record correction walk runs through the problem-record
// view of the window (FrmCorr, on the offscreen platform), the length change through the structure
// correction ModificaLunghezzaCampo. Prints one line of key=value pairs per measure.
//
//   corvale-bench walk ARCHIVIO [--records N]
//       Adds orders whose customer does not exist until the check "Controllo Ordini senza
//       Clienti" finds at least N (default 100000) problem records, then times "Dettagli" (the
//       view's set-up and the grid shown), "Seleziona Tutti", and the delete walk
//       (GestisciCorrezioneEN) over N selected records.
//       The safety gate (integrity check and safety copy) runs before and is timed apart; the walk
//       itself writes the journal of the records it deletes.
//   corvale-bench length ARCHIVIO TABELLA CAMPO LUNGHEZZA
//       Times ModificaLunghezzaCampo on the archive.
//   corvale-bench answer ARCHIVIO MASTER [SECONDI]
//       Runs every check in the maintenance window (offscreen) and measures how it keeps answering:
//       the longest time between two turns of its event loop, and, for a "Chiudi" pressed SECONDI
//       (default 1) into the run, the time until the interruption question shows and until the
//       run has stopped. With BENCH_SENZA_RISPOSTA set, the window takes no turn while a query
//       runs (as before the engine's progress watch), for comparison.
//   corvale-bench backup ARCHIVIO COPIA
//       Times the safety copy of the open archive into COPIA (SQLite's online backup, synced) and
//       the integrity check of the archive.
//   corvale-bench gate ARCHIVIO [--come-prima]
//       Times the gate before a walk of VENDITE alone (its integrity check and its safety copy), or
//       with --come-prima the same two steps as they ran before they overlapped: SQLite's full check
//       of the table, then the copy of the file's bytes as it was made then (the kernel's copy,
//       synced at the end).
//   corvale-bench import ACCESS DESTINAZIONE [--repeat K]
//       Times the import's record path: every user table of the Access file made in the new
//       archive DESTINAZIONE (fields and properties), its records copied K times (default 50),
//       then its indexes that allow the repeated records (the unique ones would refuse them).
#include "access/importazione.h"
#include "core/sessione.h"
#include "core/operatore.h"
#include "app/operatore_finestre.h"
#include "maintenance/frm_repair.h"
#include "dbengine/file_copy.h"
#include "core/guardia_archivio.h"
#include "safety/registro.h"
#include "safety/sessione_sicurezza.h"
#include "safety/copia_sicurezza.h"
#include "safety/integrita.h"
#include "checks/catalogo.h"
#include "maintenance/frm_corr.h"
#include "maintenance/griglia_record.h"
#include "records/task_correzione.h"
#include "records/vista_correzione.h"
#include "structure/modifica_lunghezza.h"

#include "dbengine/dbengine.h"
#include "dbengine_inside.h"
#include "dbengine/inserter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <QTextStream>
#include <limits>
#include <sqlite3.h>
#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

QString secondi(qint64 ns) { return QString::number(ns / 1e9, 'f', 3); }

// Processor time (user and system) used by this process so far, in nanoseconds. The machine may be
// shared, so each measure is taken in processor time as well as on the clock.
qint64 ProcessoreNs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000000LL
           + (qint64(u.ru_utime.tv_usec) + u.ru_stime.tv_usec) * 1000LL;
}

// Clock and processor time from construction.
struct Cronometro {
    QElapsedTimer orologio;
    qint64 cpu0 = 0;
    Cronometro() { riparti(); }
    void riparti()
    {
        orologio.start();
        cpu0 = ProcessoreNs();
    }
    qint64 ns() const { return orologio.nsecsElapsed(); }
    qint64 cpuNs() const { return ProcessoreNs() - cpu0; }
};

// The bench's operator: questions are answered Yes, notices go to stderr.
class OperatoreBench : public corvale::Operatore {
public:
    corvale::Risposta Mostra(const QString& testo, corvale::Pulsanti p) override
    {
        if (p == corvale::Pulsanti::SiNo)
            return corvale::Risposta::Si;
        QTextStream(stderr) << testo << "\n";
        return corvale::Risposta::Ok;
    }
    QString Chiedi(const QString&) override { return QString(); }
    void Clessidra(bool) override {}
};

corvale::Sessione& Sessione()
{
    static OperatoreBench operatore;
    static corvale::Sessione sessione(operatore);
    return sessione;
}

// The catalogue's entry No. numero (from 1) as the record corrections see it.
corvale::TaskCorrezione TaskCatalogo(int numero)
{
    const corvale::VoceCatalogo& v = corvale::VociCatalogo().at(size_t(numero - 1));
    return {v.Tipo, v.P, v.Descrizione};
}

qint64 Conta(const QString& sql)
{
    dbe::Recordset rs = Sessione().DbArchivi.OpenRecordset(sql, dbe::dbOpenSnapshot);
    const qint64 n = rs.Value(0).toLongLong();
    rs.Close();
    return n;
}

// Orders whose customer code no customer has, enough for the check to find at least `quanti`.
qint64 AggiungiOrdiniOrfani(qint64 quanti)
{
    const QString nonIn = QStringLiteral(" FROM VENDITE WHERE CODCLI NOT IN (SELECT DISTINCT CODICE FROM CLIENTI)");
    const qint64 presenti = Conta(QStringLiteral("SELECT COUNT(*) AS N") + nonIn);
    if (presenti >= quanti)
        return presenti;
    qint64 id = Conta(QStringLiteral("SELECT MAX(ID) AS M FROM VENDITE"));
    // The bench's own set-up of the archive, not a change of the operator's: past the session's
    // guard, unjournaled.
    corvale::ScritturaConsentita preparazione(Sessione());
    dbe::Inserter ins(Sessione().DbArchivi, QStringLiteral("VENDITE"),
                      {QStringLiteral("ID"), QStringLiteral("NUMORD"), QStringLiteral("DATA"), QStringLiteral("CODCLI"),
                       QStringLiteral("DITTA"), QStringLiteral("TIPODEP")});
    const QDate giorno(2020, 1, 1);
    for (qint64 i = presenti; i < quanti; ++i) {
        ins.SetInteger(0, ++id);
        ins.SetText(1, QStringLiteral("B%1").arg(i));
        ins.SetDate(2, giorno.addDays(i % 365));
        ins.SetText(3, QStringLiteral("ZZ%1").arg(i));
        ins.SetText(4, QStringLiteral("VARIE"));
        ins.SetText(5, QStringLiteral("ORD"));
        ins.Insert();
    }
    ins.Commit();
    return Conta(QStringLiteral("SELECT COUNT(*) AS N") + nonIn);
}

int Walk(const QString& archivio, qint64 quanti)
{
    Sessione().DbArchivi = dbe::OpenDatabase(archivio);
    Sessione().PathArchivi = QFileInfo(archivio).absolutePath();
    if (qEnvironmentVariableIsSet("BENCH_PRAGMAS"))  // for experiments
        dbe::inside::Impl(Sessione().DbArchivi)->exec(qEnvironmentVariable("BENCH_PRAGMAS"));
    const qint64 problemi = AggiungiOrdiniOrfani(quanti);

    Cronometro t;
    corvale::FrmCorr finestra(Sessione());
    finestra.resize(900, 600);
    const corvale::TaskCorrezione task = TaskCatalogo(7);  // "Controllo Ordini senza Clienti"

    // "Dettagli": the view's set-up and the grid painted with its first rows.
    t.riparti();
    if (!finestra.AttivaCorrezioneRecord(task))
        return 2;
    finestra.show();
    QApplication::processEvents();
    finestra.DBGrid1->viewport()->repaint();
    const qint64 dettagli = t.ns();
    const qint64 dettagliCpu = t.cpuNs();
    const int righe = finestra.DBGrid1->Modello()->rowCount();

    // The view's set-up without the window (queries, combo entries), to tell apart what the
    // widgets add to "Dettagli".
    t.riparti();
    {
        corvale::VistaCorrezione vista(Sessione());
        corvale::ApriCorrezioneRecord(vista, TaskCatalogo(7));
    }
    const qint64 impostazione = t.ns();
    const qint64 impostazioneCpu = t.cpuNs();

    t.riparti();
    finestra.PulsSelAll_Click();
    QApplication::processEvents();
    const qint64 selezione = t.ns();

    // The walk handles the first `quanti` records of the selection.
    corvale::SelezioneRecord& sel = finestra.Vista().Selezione;
    while (sel.Count() > quanti)
        sel.RemoveAt(sel.Count() - 1);
    const qint64 selezionati = sel.Count();
    finestra.Vista().Opzione = corvale::OptElimina;

    // The safety gate before the first change, as the walk passes it (the walk's table checked):
    // the walk then runs with the journal on.
    t.riparti();
    if (!corvale::PrimaDellaModifica(Sessione(), {QStringLiteral("VENDITE")}))
        return 2;
    const qint64 varco = t.ns();
    const qint64 varcoCpu = t.cpuNs();

    t.riparti();
    finestra.GestisciCorrezioneEN(task);
    const qint64 cammino = t.ns();
    const qint64 camminoCpu = t.cpuNs();
    // The grid's query, which the walk runs again at its end, once more on its own: the part of
    // the walk's time that grows with the archive rather than with the records handled.
    t.riparti();
    corvale::RieseguiDtRow(finestra.Vista());
    const qint64 rilettura = t.cpuNs();
    const qint64 rimasti = Conta(
        QStringLiteral("SELECT COUNT(*) AS N FROM VENDITE WHERE CODCLI NOT IN (SELECT DISTINCT CODICE FROM CLIENTI)"));
    if (problemi - rimasti != selezionati) {
        err << "Il cammino ha eliminato " << (problemi - rimasti) << " record invece di " << selezionati << ".\n";
        return 2;
    }
    const auto reg = corvale::RegistroSessione(Sessione());
    const auto voci = reg ? reg->Elenco() : QVector<corvale::VoceRegistro>();
    const qint64 registrati = voci.isEmpty() ? 0 : voci.first().recordFatti;
    if (registrati != selezionati) {
        err << "Il registro ha " << registrati << " record invece di " << selezionati << ".\n";
        return 2;
    }
    out << "walk_delete records_per_second=" << qint64(selezionati / (qMax<qint64>(camminoCpu, 1) / 1e9))
        << " wall_records_per_second=" << qint64(selezionati / (qMax<qint64>(cammino, 1) / 1e9))
        << " records=" << selezionati << " seconds=" << secondi(camminoCpu) << " wall_seconds=" << secondi(cammino)
        << " problem_records=" << problemi << " grid_rows=" << righe << " dettagli_seconds=" << secondi(dettagli)
        << " dettagli_cpu_seconds=" << secondi(dettagliCpu) << " view_setup_seconds=" << secondi(impostazione)
        << " view_setup_cpu_seconds=" << secondi(impostazioneCpu) << " select_all_seconds=" << secondi(selezione)
        << " requery_seconds=" << secondi(rilettura) << " journal=on journaled_records=" << registrati
        << " safety_gate_seconds=" << secondi(varcoCpu) << " safety_gate_wall_seconds=" << secondi(varco) << "\n";
    return 0;
}

int Backup(const QString& archivio, const QString& copia)
{
    dbe::Database db = dbe::OpenDatabase(archivio);
    Cronometro t;
    const bool diretta = dbe::BackupTo(db, copia);
    const qint64 ns = t.ns();
    const qint64 cpu = t.cpuNs();
    t.riparti();
    const QStringList problemi = dbe::IntegrityProblems(db);
    const qint64 verificaNs = t.ns();
    const qint64 verificaCpu = t.cpuNs();
    db.Close();
    out << "seconds=" << secondi(cpu) << " wall_seconds=" << secondi(ns)
        << " integrity_seconds=" << secondi(verificaCpu) << " integrity_wall_seconds=" << secondi(verificaNs)
        << " integrity_problems=" << problemi.size() << " copy=" << (diretta ? "file" : "pages") << "\n";
    return 0;
}

// The gate before a walk alone, on VENDITE: as the program runs it, or (comePrima) as it ran before
// the copy went beside the check: SQLite's full check of the table through a read-only connection
// of its own (memory-mapped, one read transaction), then the copy.
int Gate(const QString& archivio, bool comePrima)
{
    Sessione().DbArchivi = dbe::OpenDatabase(archivio);
    Sessione().PathArchivi = QFileInfo(archivio).absolutePath();
    Cronometro t;
    qint64 verifica = 0;
    if (comePrima) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(archivio.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(db, "PRAGMA mmap_size=2147418112; BEGIN; PRAGMA integrity_check(VENDITE); COMMIT", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
        verifica = t.ns();
        // The copy as it was made then: the log emptied, a read transaction, the file's bytes copied
        // by the kernel in 16 MB pieces, the copy marked as a rollback-journal file and synced.
        sqlite3_open_v2(archivio.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE); BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                     nullptr);
        // A descriptor of our own, left open to the end of the process: closing it would drop the
        // process's locks on the archive.
        const int in = ::open(QFile::encodeName(archivio).constData(), O_RDONLY | O_CLOEXEC);
        const QString copia = QFileInfo(archivio).absoluteDir().filePath(QStringLiteral("copia-come-prima.mdb"));
        const int fuori = ::open(QFile::encodeName(copia).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const qint64 byte = QFileInfo(archivio).size();
        for (qint64 fatti = 0; in >= 0 && fuori >= 0 && fatti < byte;) {
            loff_t da = fatti, a = fatti;
            const ssize_t n = ::copy_file_range(in, &da, fuori, &a, size_t(qMin<qint64>(16 << 20, byte - fatti)), 0);
            if (n <= 0)
                break;
            fatti += n;
        }
        const char segno[2] = {1, 1};
        const bool ok = fuori >= 0 && ::pwrite(fuori, segno, 2, 18) == 2 && ::fsync(fuori) == 0;
        ::close(fuori);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QFile::remove(copia);
        if (!ok) {
            err << "copia non riuscita\n";
            return 2;
        }
    } else {
        // The check alone first, then the whole gate.
        const QStringList problemi = corvale::ProblemiIntegritaTabelle(archivio, {QStringLiteral("VENDITE")});
        verifica = t.ns();
        err << "check_seconds=" << secondi(t.cpuNs()) << " check_wall_seconds=" << secondi(verifica)
            << " problems=" << problemi.size() << "\n";
        err.flush();
        t.riparti();
        if (!corvale::PrimaDellaModifica(Sessione(), {QStringLiteral("VENDITE")}))
            return 2;
    }
    out << "gate safety_gate_seconds=" << secondi(t.cpuNs()) << " safety_gate_wall_seconds=" << secondi(t.ns())
        << (comePrima ? " integrity_wall_seconds=" + secondi(verifica) : QString())
        << " way=" << (comePrima ? "before" : "now") << "\n";
    return 0;
}

int Length(const QString& archivio, const QString& tabella, const QString& campo, const QString& lung)
{
    Sessione().DbArchivi = dbe::OpenDatabase(archivio);
    Sessione().PathArchivi = QFileInfo(archivio).absolutePath();
    // The routine alone, as before the session's guard: no gate and no journal are measured here.
    corvale::ScritturaConsentita consentita(Sessione());
    Cronometro t;
    const bool ok = corvale::ModificaLunghezzaCampo(Sessione(), tabella, campo, lung).fatta;
    const qint64 ns = t.ns();
    const qint64 cpu = t.cpuNs();
    Sessione().DbArchivi.Close();
    if (!ok) {
        err << "ModificaLunghezzaCampo non riuscita su " << tabella << "." << campo << ".\n";
        return 2;
    }
    out << "seconds=" << secondi(cpu) << " wall_seconds=" << secondi(ns) << "\n";
    return 0;
}

int Answer(const QString& archivio, const QString& master, double secondiPrima)
{
    QElapsedTimer orologio;
    qint64 domanda = -1, pressione = -1, turno = -1, buco = 0;
    // The operator answers Yes to the interruption question and notes when it came.
    class OperatoreRisposta : public corvale::Operatore {
    public:
        std::function<void()> domandata;
        corvale::Risposta Mostra(const QString&, corvale::Pulsanti) override
        {
            domandata();
            return corvale::Risposta::Si;
        }
        QString Chiedi(const QString&) override { return QString(); }
        void Clessidra(bool) override {}
    } operatore;
    operatore.domandata = [&] {
        domanda = orologio.elapsed();
        buco = qMax(buco, domanda - turno);  // the stretch up to the question counts too
    };
    corvale::Sessione sessione(operatore);
    sessione.DbArchivi = dbe::OpenDatabase(archivio);
    sessione.DbMaster = dbe::OpenDatabase(master);
    sessione.PathArchivi = QFileInfo(archivio).absolutePath();
    corvale::FrmRepair finestra(sessione);
    if (qEnvironmentVariableIsSet("BENCH_SENZA_RISPOSTA"))  // as before: no turn during a query
        finestra.Controllore().IntervalloRisposta = std::numeric_limits<int>::max();
    finestra.show();
    QApplication::processEvents();
    // Every turn of the event loop fires this timer; the longest gap is the longest deafness.
    QTimer turni;
    QObject::connect(&turni, &QTimer::timeout, [&] {
        const qint64 ora = orologio.elapsed();
        if (turno >= 0)
            buco = qMax(buco, ora - turno);
        turno = ora;
    });
    QTimer chiudi;
    chiudi.setSingleShot(true);
    QObject::connect(&chiudi, &QTimer::timeout, [&] {
        pressione = orologio.elapsed();
        finestra.Puls(3)->click();
    });
    orologio.start();
    turni.start(0);
    chiudi.start(int(secondiPrima * 1000));
    finestra.Puls(0)->click();
    const qint64 fine = orologio.elapsed();
    turni.stop();
    out << "answer max_gap_ms=" << buco << " question_ms=" << (domanda >= 0 ? domanda - pressione : -1)
        << " stop_ms=" << (pressione >= 0 ? fine - pressione : -1) << " run_ms=" << fine
        << " rows_left=" << finestra.Controllore().LstTask.Conta() << "\n";
    return 0;
}

int Import(const QString& sorgente, const QString& destinazione, int volte)
{
    const corvale::access::FileAccess file(sorgente);
    dbe::Database db = dbe::CreateDatabase(destinazione);
    dbe::PrepareForBulkLoad(db);
    qint64 record = 0;
    Cronometro t;
    for (corvale::access::TabellaAccess tab : file.Tabelle()) {
        corvale::access::CreaTabella(db, tab);
        QStringList campi;
        for (const corvale::access::CampoAccess& c : tab.campi)
            campi << c.nome;
        dbe::Inserter ins(db, tab.nome, campi);
        for (int i = 0; i < volte; ++i)
            record += corvale::access::CopiaRecord(file, tab, ins);
        ins.Commit();
        tab.indici.erase(std::remove_if(tab.indici.begin(), tab.indici.end(),
                                        [](const corvale::access::IndiceAccess& ix) { return ix.univoco; }),
                         tab.indici.end());
        corvale::access::CreaIndici(db, tab);
    }
    const qint64 ns = t.ns();
    const qint64 cpu = t.cpuNs();
    db.Close();
    out << "import records_per_second=" << qint64(record / (cpu / 1e9)) << " records=" << record
        << " seconds=" << secondi(cpu) << " wall_seconds=" << secondi(ns)
        << " wall_records_per_second=" << qint64(record / (ns / 1e9)) << " repeat=" << volte << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList a = app.arguments();
    a.removeFirst();
    const char* uso = "Uso: corvale-bench walk ARCHIVIO [--records N]\n"
                      "     corvale-bench length ARCHIVIO TABELLA CAMPO LUNGHEZZA\n"
                      "     corvale-bench answer ARCHIVIO MASTER [SECONDI]\n"
                      "     corvale-bench backup ARCHIVIO COPIA\n"
                      "     corvale-bench gate ARCHIVIO [--come-prima]\n"

                      "     corvale-bench import ACCESS DESTINAZIONE [--repeat K]\n";
    try {
        if (a.size() >= 2 && a[0] == QLatin1String("walk")) {
            qint64 n = 100000;
            if (a.size() == 4 && a[2] == QLatin1String("--records"))
                n = a[3].toLongLong();
            else if (a.size() != 2)
                n = 0;
            if (n > 0)
                return Walk(a[1], n);
        } else if ((a.size() == 3 || a.size() == 4) && a[0] == QLatin1String("answer")) {
            return Answer(a[1], a[2], a.size() == 4 ? a[3].toDouble() : 1.0);
        } else if (a.size() == 5 && a[0] == QLatin1String("length")) {
            return Length(a[1], a[2], a[3], a[4]);
        } else if ((a.size() == 2 || (a.size() == 3 && a[2] == QLatin1String("--come-prima")))
                   && a[0] == QLatin1String("gate")) {
            return Gate(a[1], a.size() == 3);
        } else if (a.size() == 3 && a[0] == QLatin1String("backup")) {
            return Backup(a[1], a[2]);
        } else if ((a.size() == 3 || (a.size() == 5 && a[3] == QLatin1String("--repeat")))
                   && a[0] == QLatin1String("import")) {
            const int volte = a.size() == 5 ? a[4].toInt() : 50;
            if (volte > 0)
                return Import(a[1], a[2], volte);
        }
    } catch (const dbe::DbError& e) {
        err << "Errore " << e.number() << ": " << e.description() << "\n";
        return 2;
    } catch (const corvale::access::ErroreAccess& e) {
        err << e.message() << "\n";
        return 2;
    }
    err << uso;
    return 2;
}
