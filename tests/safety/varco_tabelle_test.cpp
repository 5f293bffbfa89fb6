// The gate before a record walk checks the walk's own table and its indexes: an index of that table
// that misses rows (which a quick check does not see) still refuses the walk, while damage in a
// table the walk does not write is left to the full check of the repair. The verdict is kept while
// the file is unchanged: a gate refused for another reason and tried again reuses it, and checks
// again once another program has committed. Random archives (seeded).
#include "fixture_sicurezza.h"

#include "records/correzione_en.h"
#include "safety/integrita.h"

#include <QRandomGenerator>

using namespace corvale;

namespace {

class VarcoTabelle : public prova::ArchivioSicurezza {
protected:
    // n orders without a customer, then an index of `tabella` made partial and declared whole behind
    // SQLite's back (when danneggia): it misses one record. Written by another connection.
    void prepara(QRandomGenerator& g, int n, const QString& tabella, bool danneggia)
    {
        QString sql = "BEGIN;";
        for (int i = 0; i < n; ++i)
            sql += QString("INSERT INTO VENDITE (CODCLI, NUMORD, DITTA) VALUES ('ZZ%1', 'N%2', 'AB');")
                       .arg(i)
                       .arg(g.bounded(1000));
        for (int i = 0; i < n; ++i)
            sql += QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('K%1', 'R%1');").arg(i);
        const QString campo = tabella == "VENDITE" ? "CODCLI" : "CODICE";
        const QString manca =
            tabella == "VENDITE" ? QString("ZZ%1").arg(g.bounded(n)) : QString("K%1").arg(g.bounded(n));
        sql += QString("CREATE INDEX \"PROVA_IDX\" ON %1 (%2) WHERE %2 <> '%3';").arg(tabella, campo, manca);
        if (danneggia)
            sql +=
                QString(
                    "PRAGMA writable_schema = ON;"
                    "UPDATE sqlite_master SET sql = 'CREATE INDEX \"PROVA_IDX\" ON %1 (%2)' WHERE name = 'PROVA_IDX';"
                    "PRAGMA writable_schema = OFF;")
                    .arg(tabella, campo);
        testsupport::sqliteExec(archivio(), sql + "COMMIT;");
    }
    qint64 ordiniOrfani()
    {
        return testsupport::sqliteValue(archivio(),
                                        "SELECT count(*) FROM VENDITE WHERE CODCLI NOT IN (SELECT CODICE FROM CLIENTI)")
            .toLongLong();
    }
    int verifiche = 0;  // integrity checks the gate started
    void SetUp() override
    {
        prova::ArchivioSicurezza::SetUp();
        Sicurezza(SessioneProva()).avanzamento = [this](const QString& cosa, qint64 fatto, qint64) {
            verifiche += cosa == "Verifica dell'archivio" && fatto == 0;
        };
    }
};

}  // namespace

TEST_F(VarcoTabelle, AnIndexMissingRowsInTheWalksTableRefusesTheWalk)
{
    for (quint32 seme = 1; seme <= 4; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        AzzeraSicurezza(SessioneProva());
        testsupport::sqliteExec(archivio(),
                                "DELETE FROM VENDITE; DELETE FROM CLIENTI; DROP INDEX IF EXISTS PROVA_IDX;");
        const bool nelleVendite = seme % 2 == 1;
        prepara(g, 20 + int(g.bounded(200u)), nelleVendite ? "VENDITE" : "CLIENTI", true);
        const qint64 prima = ordiniOrfani();
        ASSERT_GT(prima, 0);
        QString offerta;  // the repair offered, and declined
        Sicurezza(SessioneProva()).offriRiparazione = [&](const QString& t) {
            offerta = t;
            return false;
        };
        correggiTutti(taskDi("Controllo Ordini senza Clienti"), OptElimina);
        v.DtRow = dbe::Recordset();
        if (nelleVendite) {
            EXPECT_EQ(ordiniOrfani(), prima) << "the damaged table was written";
            EXPECT_TRUE(offerta.contains("PROVA_IDX")) << offerta.toStdString();
        } else {
            // The customers' table is not written by the walk: not checked here.
            EXPECT_EQ(ordiniOrfani(), 0) << OperatoreDiProva().Mostrati().join("|").toStdString();
            EXPECT_TRUE(offerta.isEmpty());
        }
    }
}

TEST_F(VarcoTabelle, TheVerdictHoldsUntilAnotherProgramWrites)
{
    QRandomGenerator g(7);
    prepara(g, 50, "VENDITE", false);
    const QStringList tabelle{"VENDITE"};
    // No room for the copy: the gate refuses after its check.
    Sicurezza(SessioneProva()).spazioLibero = [](const QString&) { return qint64(0); };
    EXPECT_FALSE(PrimaDellaModifica(SessioneProva(), tabelle));
    EXPECT_EQ(verifiche, 1);
    EXPECT_FALSE(PrimaDellaModifica(SessioneProva(), tabelle));
    EXPECT_EQ(verifiche, 1) << "the file did not change: the verdict holds";
    // Another program damages the index: the next attempt checks again and sees it.
    testsupport::sqliteExec(archivio(),
                            "PRAGMA writable_schema = ON;"
                            "UPDATE sqlite_master SET sql = 'CREATE INDEX \"PROVA_IDX\" ON VENDITE (CODCLI)' "
                            "WHERE name = 'PROVA_IDX'; PRAGMA writable_schema = OFF;");
    Sicurezza(SessioneProva()).spazioLibero = {};
    risposta = Risposta::No;
    EXPECT_FALSE(PrimaDellaModifica(SessioneProva(), tabelle));
    EXPECT_EQ(verifiche, 2);
    EXPECT_FALSE(OperatoreDiProva().Mostrati().filter("L'archivio è danneggiato").isEmpty());
}
