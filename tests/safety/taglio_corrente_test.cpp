// A power cut during and after the corrections: a child process runs a record delete walk over
// thousands of records, a reassignment, the stamp and a structure correction row on an archive,
// through the same code the window and corvale-cli run, over a file layer that loses every write
// not yet synced when the power goes (support/taglio_corrente.h). Each run cuts at another moment;
// the archive and the journal left behind are read afresh.
#include "fixture_sicurezza.h"

#include "core/manutenzione.h"
#include "core/versione.h"
#include "safety/versione_registrata.h"
#include "safety/modifica_registrata.h"
#include "support/coppia_prova.h"
#include "support/taglio_corrente.h"

#include <QFile>
#include <QSet>

#ifdef __linux__
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace corvale;
using corvale::prova::ArchivioSicurezza;

namespace {

constexpr int kVuoti = 3000, kOrfani = 1500, kBuoni = 200;
const QStringList kPassi = {"elimina", "riassegna", "versione", "struttura"};

// The rowids a query returns, read with plain SQLite.
QSet<qint64> Righe(const QString& file, const QString& where)
{
    QSet<qint64> s;
    const QString l = testsupport::sqliteValue(file, "SELECT group_concat(rowid) FROM " + where).toString();
    for (const QString& n : l.split(',', Qt::SkipEmptyParts))
        s << n.toLongLong();
    return s;
}

class TaglioCorrente : public ArchivioSicurezza {
protected:
#ifdef __linux__
    // The child: the corrections in order, each reported done on `uscita` (with the count of file
    // events so far) when it tells the operator so: the record walk's grid shows no problem left,
    // the stamp returns, the structure row reads OK. Then the power cut, if none came before.
    [[noreturn]] void figlio(const QString& cartella, long dopo, int uscita)
    {
        testsupport::InstallaTaglioCorrente(dopo);
        const auto fatto = [&](const QString& passo) {
            const QByteArray r = (passo + ' ' + QString::number(testsupport::EventiTaglioCorrente()) + '\n').toUtf8();
            if (::write(uscita, r.constData(), size_t(r.size())) != r.size())
                _exit(4);
        };
        try {
            SessioneProva().DbArchivi = dbe::OpenDatabase(cartella + "/lumera.mdb");
            SessioneProva().DbMaster = dbe::OpenDatabase(cartella + "/esempio.mdb", true);
            correggiTutti(taskDi("Controllo Schede Vuote Clienti"), OptElimina);
            if (v.DtRow.RecordCount() == 0)
                fatto(kPassi[0]);
            correggiTutti(taskDi("Controllo Ordini senza Clienti"), OptAssocia, 0);
            if (v.DtRow.RecordCount() == 0)
                fatto(kPassi[1]);
            if (PrimaDellaModifica(SessioneProva())) {
                VersioneDb(SessioneProva(), "7.5");
                fatto(kPassi[2]);
            }
            Manutenzione m{SessioneProva()};
            prova::Prepara(m);
            if (prova::Correggi(m, "NOTE_T") == QStringList{"Aggiunta Campo B|OK|"})
                fatto(kPassi[3]);
        } catch (...) {
            _exit(5);
        }
        testsupport::TaglioCorrente();
    }

    // A fresh copy of the archive and master, a child cut after `dopo` events (0: after the last
    // report); the steps it reported done, with the event count at each.
    QList<QPair<QString, long>> giro(const QString& cartella, long dopo)
    {
        QList<QPair<QString, long>> fatti;
        QDir().mkpath(cartella);
        for (const char* f : {"lumera.mdb", "esempio.mdb"})
            EXPECT_TRUE(QFile::copy(dir.filePath(QString("modello/") + f), cartella + '/' + f));
        int tubo[2];
        if (pipe(tubo) != 0) {
            ADD_FAILURE() << "pipe";
            return fatti;
        }
        const pid_t pid = fork();
        if (pid == 0) {
            ::close(tubo[0]);
            figlio(cartella, dopo, tubo[1]);
        }
        ::close(tubo[1]);
        QByteArray letto;
        char buf[256];
        for (ssize_t n; (n = ::read(tubo[0], buf, sizeof buf)) > 0;)
            letto.append(buf, int(n));
        ::close(tubo[0]);
        int stato = 0;
        waitpid(pid, &stato, 0);
        EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == testsupport::kUscitaTaglio)
            << "child status " << stato << " after " << letto.toStdString();
        for (const QString& r : QString::fromUtf8(letto).split('\n', Qt::SkipEmptyParts))
            fatti << qMakePair(r.section(' ', 0, 0), r.section(' ', 1).toLong());
        return fatti;
    }
#endif

    // What a fresh session finds after the cut.
    void verifica(const QString& cartella, const QStringList& fatti, const std::string& giro)
    {
        SCOPED_TRACE(giro + " reported: " + fatti.join(' ').toStdString());
        const QString a = cartella + "/lumera.mdb";
        EXPECT_EQ(testsupport::sqliteValue(a, "PRAGMA integrity_check").toString(), "ok");
        // Nothing was deleted or changed that no correction was asked to touch.
        EXPECT_EQ(testsupport::sqliteValue(a, "SELECT count(*) FROM CLIENTI WHERE CODICE LIKE 'G%'").toInt(), kBuoni);
        EXPECT_EQ(testsupport::sqliteValue(a, "SELECT count(*) FROM VENDITE").toInt(), kOrfani + kBuoni);
        EXPECT_EQ(Righe(a, "VENDITE WHERE CODCLI NOT LIKE 'G%' AND CODCLI NOT LIKE 'X%'").size(), 0);
        // Every change reported done is there.
        const QSet<qint64> tolti = vuoti_ - Righe(a, "CLIENTI");
        const QSet<qint64> riassegnati = orfani_ - Righe(a, "VENDITE WHERE CODCLI LIKE 'X%'");
        EXPECT_TRUE(!fatti.contains(kPassi[0]) || tolti.size() == kVuoti) << tolti.size();
        EXPECT_TRUE(!fatti.contains(kPassi[1]) || riassegnati.size() == kOrfani) << riassegnati.size();
        EXPECT_TRUE(!fatti.contains(kPassi[2])
                    || testsupport::sqliteValue(a, "SELECT VERSDB FROM AGENZIA").toString() == "7.5");
        EXPECT_TRUE(
            !fatti.contains(kPassi[3])
            || testsupport::sqliteValue(a, "SELECT count(*) FROM pragma_table_info('NOTE_T') WHERE name = 'B'").toInt()
                   == 1);

        // The journal, settled as the next session settles it, holds every record change in the
        // archive, and nothing it calls done is missing from it; a step reported done is "fatta".
        dbe::Database db = dbe::OpenDatabase(a);
        {
            Registro reg(a);
            ASSERT_TRUE(reg.Aperto()) << reg.Errore().toStdString();
            RiconciliaInCorso(db, reg);
            QSet<qint64> clienti, ordini;
            QSet<QString> tipiFatti;
            for (const VoceRegistro& v : reg.Elenco()) {
                if (v.stato == stato_modifica::Fatta)
                    tipiFatti << v.tipo;
                for (const RecordRegistro& r : reg.Record(v.id))
                    if (r.fatto)
                        (r.tabella == "CLIENTI" ? clienti : ordini) << r.riga;
            }
            EXPECT_EQ(clienti, tolti);
            EXPECT_EQ(ordini, riassegnati);
            const QStringList tipi = {tipo_modifica::Elimina, tipo_modifica::Riassegna, tipo_modifica::Versione,
                                      tipo_modifica::Struttura};
            for (int i = 0; i < kPassi.size(); ++i)
                EXPECT_TRUE(!fatti.contains(kPassi[i]) || tipiFatti.contains(tipi[i])) << tipi[i].toStdString();
        }
        db.Close();
    }

    QSet<qint64> vuoti_, orfani_;
};

}  // namespace

TEST_F(TaglioCorrente, ACorrectionReportedDoneSurvivesAndIsJournaled)
{
#ifndef __linux__
    GTEST_SKIP() << "fork and the power-cut layer are Linux only";
#else
    // The model: customers without a name (to delete), orders of unknown customers (to reassign),
    // a stamp, and a field the master has and the archive lacks.
    const QString modello = dir.filePath("modello");
    QDir().mkpath(modello);
    sql({"CREATE TABLE NOTE_T (A TEXT(10))", "INSERT INTO AGENZIA (COD, VERSDB) VALUES ('A', '1.0')"});
    SessioneProva().DbArchivi.Close();
    SessioneProva().DbArchivi = dbe::Database();
    testsupport::sqliteExec(
        archivio(),
        QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO CLIENTI (CODICE, RAGSOC) SELECT printf('G%04d', i), 'Cliente ' || i FROM n WHERE i <= %2 "
                "UNION ALL SELECT printf('V%04d', i), CASE WHEN i % 2 THEN NULL ELSE '  ' END FROM n WHERE i <= %1;"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %3) "
                "INSERT INTO VENDITE (NUMORD, CODCLI) SELECT i, printf('X%04d', i) FROM n "
                "UNION ALL SELECT 10000 + i, printf('G%04d', i) FROM n WHERE i <= %2;")
            .arg(kVuoti)
            .arg(kBuoni)
            .arg(kOrfani));
    ASSERT_TRUE(QFile::rename(archivio(), modello + "/lumera.mdb"));
    {
        dbe::Database m = dbe::CreateDatabase(modello + "/esempio.mdb");
        m.Execute("CREATE TABLE NOTE_T (A TEXT(10), B TEXT(20))");
        m.Close();
    }
    vuoti_ = Righe(modello + "/lumera.mdb", "CLIENTI WHERE CODICE LIKE 'V%'");
    orfani_ = Righe(modello + "/lumera.mdb", "VENDITE WHERE CODCLI LIKE 'X%'");
    ASSERT_EQ(vuoti_.size(), kVuoti);

    // Cut after the last report: every step is reported and each must be there.
    const auto intero = giro(dir.filePath("giro0"), 0);
    ASSERT_EQ(intero.size(), kPassi.size());
    verifica(dir.filePath("giro0"), kPassi, "after every report");

    // Then inside each step: right at its start, at a third, at two thirds, and just before it
    // reports, by the count of file events the full run reported.
    long prima = 0;
    for (const auto& [passo, fine] : intero) {
        for (const long dopo : {prima + 1, prima + (fine - prima) / 3, prima + 2 * (fine - prima) / 3, fine - 1}) {
            const QString c = dir.filePath(QString("giro%1").arg(dopo));
            QStringList fatti;
            for (const auto& f : giro(c, dopo))
                fatti << f.first;
            verifica(c, fatti, "cut at event " + std::to_string(dopo) + " of " + passo.toStdString());
        }
        prima = fine;
    }
#endif
}
