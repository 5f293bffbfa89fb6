// A record walk meets a failure that no later record escapes: another program renames, deletes or
// replaces the archive's file part-way through the walk (at a record drawn at random), the disk
// fills, the archive is read-only. The walk stops there with the reason, the journal says what was
// done, nothing is left where the archive was, and a file put in its place is not touched.
#include "fixture_comandi.h"
#include "fixture_sicurezza.h"

#include "records/correzione_en.h"
#include "records/correzione_enp.h"
#include "support/altro_programma.h"
#include "support/processo_cli.h"

#include <QFile>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <functional>
#include <random>
#include <signal.h>
#include <sys/resource.h>

using namespace corvale;
using corvale::prova::OperatoreDiProva;
using corvale::prova::SessioneProva;
using testsupport::DaFuori;

namespace {

// A bar that does something to the archive when the walk reaches record `a` (counted from 1).
class BarraGuasta : public prova::BarraRegistrata {
public:
    void ImpostaValore(qint64 x) override
    {
        BarraRegistrata::ImpostaValore(x);
        if (x == a && guasto)
            guasto();
    }
    qint64 a = -1;
    std::function<void()> guasto;
};

struct Walk {
    int task;  // catalogue entry
    int opzione;
    QString tabella;
    QString corretti;  // the records a walk has corrected, counted in tabella
};

const int kRecord = 120;

class Fermata : public prova::ArchivioSicurezza {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        ArchivioSicurezza::SetUp();
    }
    // A fresh archive in its own folder as the session's: kRecord customers without a code and
    // kRecord orders of no customer, no supplier and no lines.
    QString nuovoArchivio(const QString& nome)
    {
        v.DtRow = dbe::Recordset();
        v.DtColl = dbe::Recordset();
        v.Selezione.Clear();
        prova::AzzeraAmbiente();
        QDir(dir.path()).mkdir(nome);
        const QString file = dir.filePath(nome + "/lumera.mdb");
        SessioneProva().DbArchivi = prova::CreaArchivioCompleto(file);
        prova::RiempiRecordDaCorreggere(SessioneProva().DbArchivi, kRecord);
        return file;
    }
    qint64 corretti(const Walk& w) { return SessioneProva().DbArchivi.OpenRecordset(w.corretti).Value(0).toLongLong(); }
    // The walk's journal entry.
    VoceRegistro voce(const QString& file)
    {
        Registro r(file);
        for (const VoceRegistro& x : r.Elenco())
            if (x.tipo != tipo_modifica::Verifica)
                return x;
        return {};
    }
};

}  // namespace

TEST_F(Fermata, AWalkStopsWhereTheArchivesFileWasMovedAndLeavesNothingBehind)
{
    const QVector<Walk> walks{
        {1, OptElimina, "CLIENTI", QString("SELECT %1 - count(*) FROM CLIENTI WHERE CODICE IS NULL").arg(kRecord)},
        {9, OptFisso, "VENDITE", "SELECT count(*) FROM VENDITE WHERE DITTA = 'VARIE'"},
        {18, OptElimina, "VENDITE", QString("SELECT %1 - count(*) FROM VENDITE").arg(kRecord)},
    };
    enum Guasto { Rinominato, Eliminato, Sostituito };
    std::mt19937 caso(20261206);
    int n = 0;
    for (const Walk& w : walks) {
        for (const Guasto g : {Rinominato, Eliminato, Sostituito}) {
            const QString file = nuovoArchivio(QString::number(++n));
            const qint64 a = std::uniform_int_distribution<qint64>(1, kRecord - 1)(caso);
            SCOPED_TRACE(QString("task %1, fault %2 at record %3").arg(w.task).arg(int(g)).arg(a).toStdString());
            QString contoNuovo;  // the records of the file put in the archive's place
            BarraGuasta barra;
            barra.a = a;
            barra.guasto = [&] {
                if (g == Rinominato) {
                    ASSERT_EQ(std::rename(QFile::encodeName(file), QFile::encodeName(file + ".spostato")), 0);
                } else if (g == Eliminato) {
                    ASSERT_TRUE(QFile::remove(file));
                } else {
                    DaFuori(file, "VACUUM INTO '" + file + ".nuovo'");
                    contoNuovo = DaFuori(file + ".nuovo", "SELECT count(*) || '/' || sum(DITTA = 'VARIE') FROM "
                                                          "VENDITE; SELECT count(*) FROM CLIENTI");
                    ASSERT_EQ(std::rename(QFile::encodeName(file + ".nuovo"), QFile::encodeName(file)), 0);
                }
            };
            const TaskCorrezione t = task(w.task);
            ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
            SelezionaTutti(v);
            v.Opzione = w.opzione;
            v.Barra = &barra;
            OperatoreDiProva().Mostrati().clear();
            t.Tipo == "ENP" ? GestisciCorrezioneENP(v, t) : GestisciCorrezioneEN(v, t);
            ASSERT_FALSE(OperatoreDiProva().Mostrati().isEmpty());
            EXPECT_EQ(OperatoreDiProva().Mostrati().last(),
                      "Impossibile completare la correzione.\r" + dbe::DbError::make(3045, {file}).description());
            v.Barra = &this->barra;
            // No record after the one that met it. The delete walk of task 1 deletes a group of
            // records (all kRecord here) by one statement before its bar moves over them: it stops at
            // the end of that group, and commits none of it.
            const bool gruppo = w.task == 1;
            EXPECT_EQ(barra.valori.size(), (gruppo ? kRecord : a) + 1);
            // What the walk did is what the journal says, in the file it had open.
            const qint64 fatti = corretti(w);
            EXPECT_LT(fatti, a);
            if (gruppo) {
                EXPECT_EQ(fatti, 0);
            }
            if (w.task == 18) {  // a record at a time: every record before it is done
                EXPECT_EQ(fatti, a - 1);
            }
            const VoceRegistro x = voce(file);
            EXPECT_EQ(x.recordFatti, fatti);
            EXPECT_EQ(x.stato, fatti == 0 ? stato_modifica::NonRiuscita : stato_modifica::Interrotta);
            EXPECT_TRUE(x.messaggio.contains(dbe::DbError::make(3045, {file}).description()))
                << x.messaggio.toStdString();

            v.DtRow = dbe::Recordset();
            v.DtColl = dbe::Recordset();
            SessioneProva().DbArchivi.Close();
            if (g == Sostituito) {
                EXPECT_EQ(testsupport::VerificaDaFuori(file, "SELECT count(*) || '/' || sum(DITTA = 'VARIE') FROM "
                                                             "VENDITE; SELECT count(*) FROM CLIENTI"),
                          contoNuovo);
            } else {
                for (const QString& resto : {file, file + "-wal", file + "-shm", file + "-journal"})
                    EXPECT_FALSE(QFile::exists(resto)) << resto.toStdString();
            }
            if (g == Rinominato) {  // the moved file holds every change made in it
                EXPECT_EQ(testsupport::VerificaDaFuori(file + ".spostato", w.corretti), QString::number(fatti));
            }
        }
    }
}

// An archive that can only be read: every walk stops at its first record and changes nothing.
TEST_F(Fermata, AWalkOnAnArchiveThatCanOnlyBeReadStopsAtItsFirstRecord)
{
    for (const int n : {1, 9, 18}) {
        const QString file = nuovoArchivio(QString::number(n));
        SessioneProva().DbArchivi.Close();
        SessioneProva().DbArchivi = dbe::OpenDatabase(file, true);
        const TaskCorrezione t = task(n);
        ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
        SelezionaTutti(v);
        v.Opzione = n == 9 ? OptFisso : OptElimina;
        BarraGuasta barra;
        v.Barra = &barra;
        OperatoreDiProva().Mostrati().clear();
        t.Tipo == "ENP" ? GestisciCorrezioneENP(v, t) : GestisciCorrezioneEN(v, t);
        v.Barra = &this->barra;
        ASSERT_FALSE(OperatoreDiProva().Mostrati().isEmpty());
        EXPECT_EQ(OperatoreDiProva().Mostrati().last(),
                  "Impossibile completare la correzione.\r" + dbe::DbError::make(3027).description())
            << n;
        EXPECT_LE(barra.valori.size(), 2) << n;
    }
}

namespace {

// corvale-cli correct on an archive of kRecord orders without lines (check No. 18, key 0019K).
class FermataComando : public prova::ComandiSicurezza {
protected:
    void SetUp() override
    {
        ComandiSicurezza::SetUp();
        dbe::Database a = dbe::OpenDatabase(archivio());
        QStringList s;
        for (int i = 0; i < kRecord; ++i)
            s << QString("INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA) VALUES ('C1', '%1', #03/15/2001#, 'F1')")
                     .arg(i);
        prova::Esegui(a, s);
        a.Close();
    }
    qint64 ordini() { return testsupport::sqliteValue(archivio(), "SELECT count(*) FROM VENDITE").toLongLong(); }
};

}  // namespace

// The process may not write its files past a size drawn at random: each write beyond fails as on a
// full disk, whichever file meets it first (the archive's log or the journal's).
TEST_F(FermataComando, AFullDiskStopsTheWalkWithItsReasonAndTheJournalSaysWhatWasDone)
{
    std::mt19937 caso(6122026);
    for (int giro = 0; giro < 3; ++giro) {
        const qint64 limite = std::uniform_int_distribution<qint64>(40000, 150000)(caso);
        SCOPED_TRACE(limite);
        const qint64 prima = ordini();
        const prova::EsitoCli e = prova::EseguiCli({"correct", "0019K", "--elimina", "--senza-copia", "--home",
                                                    home.path(), "--archive", home.filePath("archivi")},
                                                   limite);
        EXPECT_EQ(e.stato, 1);
        EXPECT_TRUE(e.err.contains("Impossibile completare la correzione. / Spazio su disco insufficiente."))
            << e.err.toStdString();
        EXPECT_FALSE(e.err.contains("chiavi non utilizzabili")) << e.err.toStdString();
        const qint64 tolti =
            prima - testsupport::VerificaDaFuori(archivio(), "SELECT count(*) FROM VENDITE").toLongLong();
        EXPECT_GT(tolti, 0);
        EXPECT_LT(tolti, prima);

        const prova::EsitoCli r = esegui({"registro", "--json"});
        const QJsonObject voce =
            QJsonDocument::fromJson(r.out.toUtf8()).object().value("modifiche").toArray().first().toObject();
        EXPECT_EQ(voce.value("stato").toString(), "interrotta");
        EXPECT_TRUE(voce.value("messaggio").toString().contains("Spazio su disco insufficiente."))
            << r.out.toStdString();
        qint64 fatti = 0;
        for (const QJsonValue x : voce.value("record").toArray())
            fatti += x.toObject().value("fatto").toBool();
        EXPECT_EQ(fatti, tolti);
    }
}
