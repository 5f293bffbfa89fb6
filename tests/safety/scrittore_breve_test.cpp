// Another program that writes often and briefly (a record of its own every 10 ms, each in a
// transaction of its own) all through a record walk or a structure correction: its locks last
// milliseconds, so they are waited for, never refused; every walk corrects every record, the
// journal says so, and none of the other program's records is lost.
#include "fixture_sicurezza.h"

#include "structure/correzioni_struttura.h"
#include "support/altro_programma.h"
#include "support/coppia_prova.h"

using namespace corvale;
using prova::OperatoreDiProva;
using prova::SessioneProva;
using testsupport::DaFuori;

namespace {

const int kRecord = 200;

class ScrittoreBreve : public prova::ArchivioSicurezza {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        ArchivioSicurezza::SetUp();
        prova::RiempiRecordDaCorreggere(SessioneProva().DbArchivi, kRecord);
        file = SessioneProva().DbArchivi.Name();
    }
    // The newest entry of the journal that is a change.
    VoceRegistro ultima()
    {
        for (const VoceRegistro& x : registro().Elenco())
            if (x.tipo != tipo_modifica::Verifica)
                return x;
        return {};
    }
    QString file;
};

}  // namespace

TEST_F(ScrittoreBreve, EveryWalkWaitsForTheOtherProgramAndCorrectsEveryRecord)
{
    testsupport::ScrittoreFrequente altro(file);
    altro.Attendi(5);
    struct Walk {
        int task, opzione;
        QString corretti;
    };
    for (const Walk& w : {Walk{1, OptElimina, "SELECT count(*) FROM CLIENTI WHERE CODICE IS NOT NULL"},
                          Walk{18, OptElimina, QString("SELECT %1 - count(*) FROM VENDITE").arg(kRecord)}}) {
        SCOPED_TRACE(w.task);
        OperatoreDiProva().Mostrati().clear();
        correggiTutti(task(w.task), w.opzione);
        for (const QString& m : OperatoreDiProva().Mostrati())
            EXPECT_FALSE(m.startsWith("Impossibile")) << m.toStdString();
        EXPECT_EQ(DaFuori(file, w.corretti), w.task == 1 ? "1" : QString::number(kRecord))
            << OperatoreDiProva().Mostrati().join("|").toStdString();
        const VoceRegistro x = ultima();
        EXPECT_EQ(x.stato, stato_modifica::Fatta) << x.messaggio.toStdString();
        EXPECT_EQ(x.recordFatti, kRecord) << x.esito.toStdString() << x.tipo.toStdString();
    }
    const qint64 scritti = DaFuori(file, "SELECT count(*) FROM ALTRO_PROGRAMMA").toLongLong();
    EXPECT_TRUE(altro.Ferma());
    EXPECT_GE(DaFuori(file, "SELECT count(*) FROM ALTRO_PROGRAMMA").toLongLong(), scritti);
}

// A structure correction row while the other program writes: each row waits for its short locks,
// rebuilds the field and is done, and the other program's records are all there.
TEST(ScrittoreBreveStruttura, EveryStructureRowWaitsForTheOtherProgram)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    prova::Coppia c;
    // Four tables of eight fields each shorter in the archive than in the master, or of another
    // type: eight rows to correct in each, each reading the records it rebuilds.
    const QStringList tabelle{"T1", "T2", "T3", "T4"};
    QStringList corti, lunghi, righe, master;
    for (int i = 0; i < 8; ++i) {
        corti << QString("F%1 TEXT(%2)").arg(i).arg(i % 2 ? 10 : 5);
        lunghi << QString("F%1 %2").arg(i).arg(i % 2 ? "TEXT(20)" : "LONG");
    }
    for (const QString& t : tabelle) {
        master << "CREATE TABLE " + t + " (" + lunghi.join(", ") + ")";
        righe << "CREATE TABLE " + t + " (" + corti.join(", ") + ")";
        for (int i = 0; i < 500; ++i)
            righe << QString("INSERT INTO %1 (F0, F1) VALUES ('%2', 'R%2')").arg(t).arg(i);
    }
    c.master(master);
    c.archivio(righe);
    c.apri();
    const QString file = c.percorsoArchivio();
    Manutenzione m{SessioneProva()};
    prova::Prepara(m);
    testsupport::ScrittoreFrequente altro(file);
    altro.Attendi(5);
    for (const QString& t : tabelle) {
        const QStringList esiti = prova::Correggi(m, t);
        EXPECT_EQ(esiti.size(), 8);
        EXPECT_EQ(esiti.filter("|OK|").size(), esiti.size()) << esiti.join('\n').toStdString();
    }
    EXPECT_TRUE(altro.Ferma());
    SessioneProva().DbArchivi.Close();
    lunghi.sort();
    for (const QString& t : tabelle) {
        EXPECT_EQ(testsupport::VerificaDaFuori(file,
                                               "SELECT group_concat(x, ',') FROM (SELECT name || ' ' || type AS x "
                                               "FROM pragma_table_info('"
                                                   + t + "') ORDER BY 1)"),
                  lunghi.join(","));
        EXPECT_EQ(DaFuori(file, "SELECT count(*) FROM " + t + " WHERE F0 = CAST(substr(F1, 2) AS INTEGER)"), "500");
    }
    prova::AzzeraAmbiente();
}
