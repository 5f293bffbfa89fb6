// The lookup by key of the joined-record correction, as text.
#include "records/ricerca_chiave.h"

#include "dbengine/db_types.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <limits>

using namespace corvale;

namespace {
QString testo(const std::optional<QString>& s) { return s ? *s : QStringLiteral("<rifiutata>"); }
}  // namespace

TEST(RicercaChiave, KeyFieldsAndTheWorkedExample)
{
    const TaskCorrezione vendite{
        "ENP", {"VENDITE LEFT JOIN ...", "VENDITE", "5", ".CODCLI", ".NUMORD", ".DATA", ".DITTA", "TIPODEP"}, ""};
    const QStringList campi = CampiChiave(vendite);
    EXPECT_EQ(campi, (QStringList{"VENDITE.CODCLI", "VENDITE.NUMORD", "VENDITE.DATA", "VENDITE.DITTA", "TIPODEP"}));
    const QVector<ValoreChiave> riga{
        {campi[0], dbe::dbText, QString("C1")},
        {campi[1], dbe::dbText, QString("7")},
        {campi[2], dbe::dbDate, QDateTime(QDate(2001, 3, 15), QTime(0, 0))},
        {campi[3], dbe::dbText, QString("AB")},
        {campi[4], dbe::dbText, QVariant()},
    };
    EXPECT_EQ(testo(CreaSqlRicerca("VENDITE", riga)),
              "SELECT * FROM VENDITE WHERE TRUE AND VENDITE.CODCLI='C1' AND VENDITE.NUMORD='7' "
              "AND VENDITE.DATA=#03/15/2001# AND VENDITE.DITTA='AB' AND ISNULL(TIPODEP) ");

    // One key field; the time of day is dropped from a date.
    const TaskCorrezione risolti{"ENP", {"", "RISOLTI", "1", ".IDRIS"}, ""};
    ASSERT_EQ(CampiChiave(risolti), QStringList{"RISOLTI.IDRIS"});
    EXPECT_EQ(testo(CreaSqlRicerca("RISOLTI", {{"RISOLTI.IDRIS", dbe::dbLong, qint64(42)}})),
              "SELECT * FROM RISOLTI WHERE TRUE AND RISOLTI.IDRIS=42 ");
    EXPECT_EQ(testo(ClausolaChiave({"D", dbe::dbDate, QDateTime(QDate(1999, 12, 1), QTime(10, 30))})),
              "AND D=#12/01/1999# ");

    // A count that is not 1 to 6, or a missing name, gives no list.
    for (const QString n : {"0", "7", "x", ""})
        EXPECT_TRUE(CampiChiave({"ENP", {"", "T", n, "A", "B", "C", "D", "E", "F", "G"}, ""}).isEmpty())
            << n.toStdString();
    EXPECT_TRUE(CampiChiave({"ENP", {"", "T", "2", "A"}, ""}).isEmpty());
    EXPECT_EQ(CampoTabella("VENDITE.CODCLI"), "CODCLI");
    EXPECT_EQ(CampoTabella("TIPODEP"), "TIPODEP");
}

TEST(RicercaChiave, NumbersAndRefusedValues)
{
    auto clausola = [](short tipo, const QVariant& v) { return testo(ClausolaChiave({"N", tipo, v})); };
    // Numbers in C-locale form without an exponent (read back on a real archive elsewhere).
    EXPECT_EQ(clausola(dbe::dbDouble, 1e20), "AND N=100000000000000000000 ");
    EXPECT_EQ(clausola(dbe::dbCurrency, -1234.5678), "AND N=-1234.5678 ");
    // Words and marks of the query language stay inside the quotes.
    EXPECT_EQ(clausola(dbe::dbText, QString("X OR TRUE -- [A] #1/1/2000# \"q\"")),
              "AND N='X OR TRUE -- [A] #1/1/2000# \"q\"' ");

    // Refused: a value that could end its quotes, control characters, no plain form.
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbText, QString("O'Brien")}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbText, QString("x' OR 'a'='a")}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbText, QString("a\nb")}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbText, QString(QChar(0))}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbBinary, QByteArray("ab")}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbGUID, QString("{00000000-0000-0000-0000-000000000000}")}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbDouble, std::numeric_limits<double>::quiet_NaN()}));
    EXPECT_FALSE(ClausolaChiave({"N", dbe::dbDate, QDateTime()}));
    EXPECT_FALSE(CreaSqlRicerca("T", {{"A", dbe::dbText, QString("ok")}, {"B", dbe::dbText, QString("'")}}));
    // Null never gives a comparison, whatever the type.
    EXPECT_EQ(clausola(dbe::dbLong, QVariant()), "AND ISNULL(N) ");
}
