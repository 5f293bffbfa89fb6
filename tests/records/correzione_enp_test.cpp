// The correction of joined-check records ("ENP" tasks) on small archives.
#include "fixture_record.h"
#include "support/sessione_prova.h"

#include "records/correzione_en.h"
#include "records/correzione_enp.h"

using namespace corvale;
using corvale::prova::ArchivioRecord;

namespace {

class CorrezioneENP : public ArchivioRecord {
protected:
    QString ordine(const QString& codcli, const QString& numord, const QString& data, const QString& ditta,
                   const QString& tipodep = "NULL")
    {
        return QString("INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA, TIPODEP) "
                       "VALUES (%1, %2, %3, %4, %5)")
            .arg(codcli, numord, data, ditta, tipodep);
    }
    // The NUMORD of every grid row, in order.
    QStringList righeGriglia()
    {
        QStringList l;
        if (v.DtRow.RecordCount() > 0) {
            v.DtRow.MoveFirst();
            while (!v.DtRow.Eof()) {
                l << v.DtRow.Value("VENDITE.NUMORD").toString();
                v.DtRow.MoveNext();
            }
        }
        return l;
    }
};

}  // namespace

TEST_F(CorrezioneENP, OrdersWithoutDetailAreDeletedByTheirKey)
{
    sql({ordine("'C1'", "'1'", "#03/15/2001#", "'AB'"), ordine("'C1'", "'2'", "#03/15/2001#", "'AB'", "'M'"),
         ordine("'C2'", "'3'", "#03/16/2001#", "'AB'"), ordine("'C2'", "'4'", "#03/16/2001#", "'AB'", "'M'"),
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) "
         "VALUES ('C2', '4', #03/16/2001#, 'AB', 'M', 1)"});
    const TaskCorrezione t = task(18);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    EXPECT_EQ(v.Opzione, OptElimina);
    EXPECT_FALSE(v.ComboVisibile);
    EXPECT_EQ(righeGriglia(), (QStringList{"1", "2", "3"}));

    seleziona({2, 1});
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaElimina});
    EXPECT_EQ(colonna("SELECT NUMORD FROM VENDITE"), (QStringList{"1", "4"}));
    EXPECT_EQ(righeGriglia(), QStringList{"1"});
    EXPECT_EQ(v.Selezione.Count(), 0);
    EXPECT_EQ(barra.valori, (QList<qint64>{0, 1, 2}));
    EXPECT_EQ(barra.massimo, 2);
    EXPECT_FALSE(barra.visibile);
    EXPECT_FALSE(OperatoreDiProva().ClessidraAttiva());

    // No changes nothing; an empty selection is refused.
    seleziona({0});
    risposta = Risposta::No;
    GestisciCorrezioneENP(v, t);
    v.Selezione.Clear();
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati().mid(1), (QStringList{kDomandaElimina, kNessunRecord}));
    EXPECT_EQ(conta("VENDITE"), 2);
}

TEST_F(CorrezioneENP, TwoRowsWithOneKeyDeleteBothAndTheSecondIsSkipped)
{
    sql({ordine("'C1'", "'7'", "#03/15/2001#", "'AB'"), ordine("'C1'", "'7'", "#03/15/2001#", "'AB'"),
         ordine("'C1'", "'8'", "#03/15/2001#", "'AB'")});
    const TaskCorrezione t = task(18);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    seleziona({0, 1});
    GestisciCorrezioneENP(v, t);
    // The second row's record went with the first lookup: skipped, not reported.
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaElimina});
    EXPECT_EQ(colonna("SELECT NUMORD FROM VENDITE"), QStringList{"8"});
    EXPECT_EQ(barra.valore, 2);
}

TEST_F(CorrezioneENP, NumericDateAndRightJoinKeys)
{
    // Payment batches: a numeric key.
    sql({"INSERT INTO RISOLTI (IDRIS) VALUES (5)", "INSERT INTO RISOLTI (IDRIS) VALUES (6)",
         "INSERT INTO RISOLTI (IDRIS) VALUES (-6)", "INSERT INTO PAGAM_RISOLTI (IDRIS) VALUES (5)"});
    TaskCorrezione t = task(29);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 2);
    SelezionaTutti(v);
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(colonna("SELECT IDRIS FROM RISOLTI"), QStringList{"5"});

    // Isolated order lines: six key fields, a date with a time of day finds nothing and stays.
    sql({"INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003#, 'F1', NULL, "
         "1)",
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003#, 'F1', NULL, "
         "2)",
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003 10:30:00#, "
         "'F1', NULL, 3)",
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003#, 'F1', 'X', "
         "4)"});
    t = task(20);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 4);
    SelezionaTutti(v);
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(colonna("SELECT RIGA FROM DETT_ORD"), QStringList{"3"});
    EXPECT_EQ(v.DtRow.RecordCount(), 1);
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), kDomandaElimina);
}

TEST_F(CorrezioneENP, CraftedKeysDeleteNothingButWhatWasSelected)
{
    // Key values written to widen a lookup built by concatenation.
    const QStringList furbi{"x' OR 'a'='a",  "' OR TRUE OR '", "Z'--",         "Q OR TRUE",
                            "K -- commento", "[VENDITE]",      "#01/01/2000#", "a\"b"};
    QStringList istruzioni;
    for (int i = 0; i < furbi.size(); ++i) {
        QString valore = furbi[i];
        valore.replace("'", "''");
        istruzioni << ordine("'" + valore + "'", QString("'F%1'").arg(i), "#03/15/2001#", "'AB'");
    }
    // Innocent orders that a widened lookup would take with it.
    istruzioni << ordine("'C1'", "'100'", "#03/15/2001#", "'AB'") << ordine("'x'", "'101'", "#03/15/2001#", "'AB'")
               << ordine("'Q'", "'102'", "#03/15/2001#", "'AB'");
    SessioneProva().DbArchivi.Execute("DROP TABLE VENDITE");
    sql({"CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(50), DITTA TEXT(10), DATA DATETIME, "
         "TIPODEP TEXT(10))"});
    sql(istruzioni);
    const TaskCorrezione t = task(18);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 11);
    seleziona({0, 1, 2, 3, 4, 5, 6, 7});
    GestisciCorrezioneENP(v, t);
    // The three keys holding an apostrophe are given up, reported once; the others (words and
    // marks of the query language inside the quotes) delete exactly their own record.
    ASSERT_EQ(OperatoreDiProva().Mostrati().size(), 2);
    EXPECT_EQ(OperatoreDiProva().Mostrati()[1], MessaggioRigheNonCorrette(3));
    EXPECT_EQ(colonna("SELECT NUMORD FROM VENDITE"), (QStringList{"F0", "F1", "F2", "100", "101", "102"}));
    EXPECT_EQ(v.DtRow.RecordCount(), 6);
}

TEST_F(CorrezioneENP, ALookupThatFindsAnotherRecordDeletesNothing)
{
    // Two lines that differ only by the time of day of their date: the lookup drops the time and
    // finds the midnight one, which was not selected. The row is given up.
    sql({"INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003 10:30:00#, "
         "'F1', NULL, 7)",
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C1', '1', #01/02/2003#, 'F1', NULL, "
         "7)"});
    const TaskCorrezione t = task(20);
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 2);
    seleziona({0});
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati().last(), MessaggioRigheNonCorrette(1));
    EXPECT_EQ(conta("DETT_ORD"), 2);
}

TEST_F(CorrezioneENP, FractionalAndYesNoKeysFindTheirRecord)
{
    sql({"CREATE TABLE MISURE (VALORE DOUBLE, ATTIVO YESNO, NOTA TEXT(10))", "CREATE TABLE USI (VALORE DOUBLE)",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (0.1, TRUE, 'a')",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (0.1, FALSE, 'b')",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (-2.5, FALSE, 'c')",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (100000000000000000000, TRUE, 'd')",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (0.3333333333333333, TRUE, 'e')",
         "INSERT INTO MISURE (VALORE, ATTIVO, NOTA) VALUES (7, TRUE, 'f')", "INSERT INTO USI (VALORE) VALUES (7)"});
    const TaskCorrezione t{"ENP",
                           {"MISURE LEFT JOIN USI ON MISURE.VALORE=USI.VALORE WHERE ISNULL(USI.VALORE)", "MISURE", "2",
                            ".VALORE", "ATTIVO"},
                           "Misure senza uso"};
    ASSERT_TRUE(AttivaCorrezioneRecord(v, t));
    ASSERT_EQ(v.DtRow.RecordCount(), 5);
    seleziona({0, 2, 3, 4});
    GestisciCorrezioneENP(v, t);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList{kDomandaElimina});
    EXPECT_EQ(colonna("SELECT NOTA FROM MISURE"), (QStringList{"b", "f"}));
}
