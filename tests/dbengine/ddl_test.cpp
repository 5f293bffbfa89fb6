// Data definition through the objects: each success as the file then holds it, and each refusal
// with its number and the file left exactly as it was.
#include "dbengine_inside.h"
#include "dbengine/dbengine.h"
#include "support/sqlite_file.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace dbe;
using testsupport::sqliteValue;

namespace {

class DdlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.path() + QStringLiteral("/lumera.mdb");
        testsupport::sqliteExec(
            path,
            QStringLiteral(
                "BEGIN; CREATE TABLE CLIENTI (CODICE LONG, RAGSOC TEXT(30) COLLATE NOCASE, CITTA TEXT(20) COLLATE "
                "NOCASE,"
                " FIDO CURRENCY);"
                "INSERT INTO CLIENTI VALUES (1, 'ROSSI', 'Roma', 10), (2, 'rossi', NULL, 20), (3, NULL, 'Bari', 30);"
                "COMMIT;"));
        db = OpenDatabase(path);
    }

    // Everything a refused operation could have touched: the schema, the metadata and the records.
    QString state() const
    {
        QString s =
            sqliteValue(path,
                        QStringLiteral("SELECT group_concat(type || ':' || name || ':' || coalesce(sql, ''), '|') FROM "
                                       "(SELECT * FROM sqlite_master ORDER BY name)"))
                .toString();
        s +=
            sqliteValue(path,
                        QStringLiteral("SELECT group_concat(CODICE || ',' || coalesce(RAGSOC, '-'), '|') FROM CLIENTI"))
                .toString();
        const char* meta[][2] = {{"MSysTables", "Name, Attributes, DateCreated, LastUpdated"},
                                 {"MSysFields", "TableName, FieldName, Attributes, AllowZeroLength, Required"},
                                 {"MSysIndexes", "SqliteName, IsPrimary, IsRequired, IgnoreNulls"},
                                 {"MSysProperties", "TableName, Ordinal, Name, Type, Value"}};
        for (const auto& m : meta) {
            if (!sqliteValue(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '%1'")
                                       .arg(QLatin1String(m[0])))
                     .toInt())
                continue;
            QString cols = QString::fromLatin1(m[1]);
            cols = QStringLiteral("quote(") + cols.replace(QStringLiteral(", "), QStringLiteral(") || ',' || quote("))
                   + QLatin1Char(')');
            s += QLatin1Char('#')
                 + sqliteValue(path,
                               QStringLiteral("SELECT group_concat(%1, '|') FROM %2").arg(cols, QLatin1String(m[0])))
                       .toString();
        }
        return s;
    }

    void expectRefused(int number, const std::function<void()>& op, const char* what)
    {
        const QString before = state();
        try {
            op();
            ADD_FAILURE() << what << ": not refused";
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), number) << what << ": " << e.what();
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(state(), before) << what << ": the file changed";
    }

    QTemporaryDir dir;
    QString path;
    Database db;
};

}  // namespace

TEST_F(DdlTest, NewTableWithFieldsIndexesAndPropertyIsWrittenWhole)
{
    TableDef t = db.CreateTableDef(QStringLiteral("ORDINI"), 0);
    Field id = t.CreateField(QStringLiteral("ID"), dbLong);
    id.SetAttributes(dbFixedField | dbAutoIncrField);
    t.Fields().Append(id);
    Field num = t.CreateField(QStringLiteral("NUMERO"), dbText, 10);
    t.Fields().Append(num);
    Field note = t.CreateField(QStringLiteral("NOTE"), dbMemo);
    note.SetAttributes(dbVariableField | dbHyperlinkField);
    note.SetAllowZeroLength(true);
    t.Fields().Append(note);
    t.Fields().Append(t.CreateField(QStringLiteral("DATA"), dbDate));
    Index pk = t.CreateIndex(QStringLiteral("PrimaryKey"));
    pk.Fields().Append(pk.CreateField(QStringLiteral("ID")));
    pk.SetPrimary(true);
    t.Indexes().Append(pk);
    Index two = t.CreateIndex(QStringLiteral("NumData"));
    two.Fields().Append(two.CreateField(QStringLiteral("NUMERO")));
    two.Fields().Append(two.CreateField(QStringLiteral("DATA")));
    two.SetUnique(true);
    t.Indexes().Append(two);
    t.Properties().Append(t.CreateProperty(QStringLiteral("Description"), dbText, QStringLiteral("Ordini")));
    db.TableDefs().Append(t);

    // The objects appended now read the file.
    EXPECT_EQ(num.Size(), 10);
    EXPECT_EQ(id.Attributes(), 17);
    EXPECT_TRUE(pk.Primary());
    TableDef o = db.TableDefs().Item(QStringLiteral("ordini"));
    ASSERT_EQ(o.Fields().Count(), 4);
    EXPECT_EQ(o.Fields().Item(2).Name(), QStringLiteral("NOTE"));
    EXPECT_EQ(o.Fields().Item(2).Attributes(), 32770);
    EXPECT_TRUE(o.Fields().Item(2).AllowZeroLength());
    EXPECT_EQ(o.Fields().Item(QStringLiteral("NUMERO")).Attributes(), 2);
    EXPECT_EQ(o.Fields().Item(QStringLiteral("DATA")).Attributes(), 1);
    EXPECT_FALSE(o.Fields().Item(QStringLiteral("NUMERO")).AllowZeroLength());
    ASSERT_EQ(o.Indexes().Count(), 2);
    EXPECT_EQ(o.Indexes().Item(QStringLiteral("NumData")).Fields().Item(1).Name(), QStringLiteral("DATA"));
    EXPECT_TRUE(o.Indexes().Item(QStringLiteral("NumData")).Unique());
    EXPECT_EQ(o.Properties().Item(QStringLiteral("Description")).Value().toString(), QStringLiteral("Ordini"));
    EXPECT_TRUE(o.Properties().Item(QStringLiteral("DateCreated")).Value().toDateTime().isValid());

    // In the file: plain SQLite columns and indexes a third party reads.
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'ORDINI'")).toString(),
              QStringLiteral("CREATE TABLE \"ORDINI\" (\"ID\" LONG, \"NUMERO\" TEXT(10) COLLATE NOCASE, "
                             "\"NOTE\" LONGTEXT COLLATE NOCASE, \"DATA\" DATETIME)"));
    EXPECT_EQ(
        sqliteValue(path, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'ORDINI.NumData'")).toString(),
        QStringLiteral("CREATE UNIQUE INDEX \"ORDINI.NumData\" ON \"ORDINI\" (\"NUMERO\" COLLATE NOCASE, \"DATA\")"));
    EXPECT_EQ(sqliteValue(path,
                          QStringLiteral("SELECT IsPrimary FROM MSysIndexes WHERE SqliteName = 'ORDINI.PrimaryKey'"))
                  .toInt(),
              1);
}

TEST_F(DdlTest, RefusedNewTablesChangeNothing)
{
    auto table = [&](const QString& name, const std::function<void(TableDef&)>& fill) {
        return [=, this] {
            TableDef t = db.CreateTableDef(name);
            fill(t);
            db.TableDefs().Append(t);
        };
    };
    auto field = [](TableDef& t, const char* name, short type, int size = 0) {
        t.Fields().Append(t.CreateField(QString::fromLatin1(name), type, size));
    };
    expectRefused(3010, table(QStringLiteral("clienti"), [&](TableDef& t) { field(t, "A", dbLong); }), "taken name");
    expectRefused(3264, table(QStringLiteral("VUOTA"), [](TableDef&) {}), "no fields");
    expectRefused(3259, table(QStringLiteral("T1"), [&](TableDef& t) { field(t, "A", 13); }), "unknown type");
    expectRefused(3001, table(QStringLiteral("T2"), [&](TableDef& t) { field(t, "A", dbText, 300); }), "text size");
    expectRefused(3125, table(QStringLiteral("T.3"), [&](TableDef& t) { field(t, "A", dbLong); }), "bad name");
    expectRefused(3259,
                  table(QStringLiteral("T4"),
                        [&](TableDef& t) {
                            Field f = t.CreateField(QStringLiteral("A"), dbText, 10);
                            f.SetAttributes(dbAutoIncrField);
                            t.Fields().Append(f);
                        }),
                  "counter on text");
    expectRefused(3219,
                  table(QStringLiteral("T5"),
                        [&](TableDef& t) {
                            Field f = t.CreateField(QStringLiteral("A"), dbLong);
                            f.SetAllowZeroLength(true);
                            t.Fields().Append(f);
                        }),
                  "zero length on a number");
    expectRefused(3191,
                  table(QStringLiteral("T6"),
                        [&](TableDef& t) {
                            field(t, "A", dbLong);
                            field(t, "a", dbText, 5);
                        }),
                  "field twice");
    expectRefused(3283,
                  table(QStringLiteral("T7"),
                        [&](TableDef& t) {
                            field(t, "A", dbLong);
                            for (const char* n : {"P1", "P2"}) {
                                Index i = t.CreateIndex(QString::fromLatin1(n));
                                i.Fields().Append(i.CreateField(QStringLiteral("A")));
                                i.SetPrimary(true);
                                t.Indexes().Append(i);
                            }
                        }),
                  "two primary indexes");
    expectRefused(3265,
                  table(QStringLiteral("T8"),
                        [&](TableDef& t) {
                            field(t, "A", dbLong);
                            Index i = t.CreateIndex(QStringLiteral("I"));
                            i.Fields().Append(i.CreateField(QStringLiteral("B")));
                            t.Indexes().Append(i);
                        }),
                  "index on a missing field");
    expectRefused(3367,
                  table(QStringLiteral("T9"),
                        [&](TableDef& t) {
                            field(t, "A", dbLong);
                            t.Properties().Append(t.CreateProperty(QStringLiteral("RecordCount"), dbLong, 1));
                        }),
                  "built-in property name");
    EXPECT_FALSE(db.TableDefs().Contains(QStringLiteral("T8")));
}

TEST_F(DdlTest, FieldsOfAnExistingTable)
{
    TableDef t = db.TableDefs().Item(QStringLiteral("CLIENTI"));
    expectRefused(
        3191, [&] { t.Fields().Append(t.CreateField(QStringLiteral("ragsoc"), dbText, 10)); }, "taken field");
    expectRefused(
        3259, [&] { t.Fields().Append(t.CreateField(QStringLiteral("X"), 0)); }, "no type");
    expectRefused(
        3001, [&] { t.Fields().Append(t.CreateField(QStringLiteral("X"), dbText, 256)); }, "size 256");

    // Appended at the end, zero length as set before the append.
    Field f = t.CreateField(QStringLiteral("PROV"), dbText, 2);
    f.SetAllowZeroLength(true);
    t.Fields().Append(f);
    EXPECT_EQ(t.Fields().Count(), 5);
    EXPECT_EQ(t.Fields().Item(4).Name(), QStringLiteral("PROV"));
    EXPECT_TRUE(t.Fields().Item(QStringLiteral("PROV")).AllowZeroLength());
    EXPECT_EQ(f.OrdinalPosition(), 4);

    // A counter added to a table with records numbers them.
    Field n = t.CreateField(QStringLiteral("NUM"), dbLong);
    n.SetAttributes(dbAutoIncrField);
    t.Fields().Append(n);
    EXPECT_EQ(n.Attributes(), 17);
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT count(DISTINCT NUM) FROM CLIENTI")).toInt(), 3);

    // Name written after the append renames the column, values and indexes kept.
    Index ix = t.CreateIndex(QStringLiteral("Citta"));
    ix.Fields().Append(ix.CreateField(QStringLiteral("CITTA")));
    t.Indexes().Append(ix);
    Field citta = t.Fields().Item(QStringLiteral("CITTA"));
    citta.SetName(QStringLiteral("LOCALITA"));
    EXPECT_EQ(citta.Name(), QStringLiteral("LOCALITA"));
    EXPECT_FALSE(t.Fields().Contains(QStringLiteral("CITTA")));
    EXPECT_EQ(t.Indexes().Item(QStringLiteral("Citta")).Fields().Item(0).Name(), QStringLiteral("LOCALITA"));
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT LOCALITA FROM CLIENTI WHERE CODICE = 3")).toString(),
              QStringLiteral("Bari"));
    expectRefused(
        3191, [&] { citta.SetName(QStringLiteral("RAGSOC")); }, "rename onto a taken name");
    citta.SetName(QStringLiteral("Localita"));  // only the case
    EXPECT_EQ(t.Fields().Item(2).Name(), QStringLiteral("Localita"));

    // Zero length written on an attached field; refused on a number.
    Field rs = t.Fields().Item(QStringLiteral("RAGSOC"));
    rs.SetAllowZeroLength(true);
    EXPECT_TRUE(
        db.TableDefs().Item(QStringLiteral("CLIENTI")).Fields().Item(QStringLiteral("RAGSOC")).AllowZeroLength());
    rs.SetAllowZeroLength(false);
    EXPECT_FALSE(rs.AllowZeroLength());
    expectRefused(
        3219, [&] { t.Fields().Item(QStringLiteral("FIDO")).SetAllowZeroLength(true); }, "zero length on currency");
    expectRefused(
        3219, [&] { rs.SetSize(10); }, "size of an attached field");

    // Delete: refused while indexed, done otherwise.
    expectRefused(
        3280, [&] { t.Fields().Delete(QStringLiteral("localita")); }, "indexed field");
    expectRefused(
        3265, [&] { t.Fields().Delete(QStringLiteral("NESSUNO")); }, "absent field");
    t.Fields().Delete(QStringLiteral("FIDO"));
    EXPECT_FALSE(t.Fields().Contains(QStringLiteral("FIDO")));
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT count(*) FROM pragma_table_info('CLIENTI') WHERE name = 'FIDO'"))
                  .toInt(),
              0);
}

TEST_F(DdlTest, IndexesOfAnExistingTable)
{
    TableDef t = db.TableDefs().Item(QStringLiteral("CLIENTI"));
    auto index = [&](const QString& name, const QStringList& fields, bool primary, bool unique) {
        return [=] {
            Index i = t.CreateIndex(name);
            for (const QString& f : fields)
                i.Fields().Append(i.CreateField(f));
            i.SetPrimary(primary);
            i.SetUnique(unique);
            t.Indexes().Append(i);
        };
    };
    // ROSSI and rossi are the same text to a unique index.
    expectRefused(3022, index(QStringLiteral("Rag"), {QStringLiteral("RAGSOC")}, false, true), "duplicates");
    expectRefused(3058, index(QStringLiteral("PrimaryKey"), {QStringLiteral("CITTA")}, true, false), "Null in primary");
    expectRefused(3265, index(QStringLiteral("X"), {QStringLiteral("NESSUNO")}, false, false), "missing field");
    expectRefused(3264, index(QStringLiteral("X"), {}, false, false), "no fields");

    index(QStringLiteral("PrimaryKey"), {QStringLiteral("CODICE")}, true, false)();
    index(QStringLiteral("RagCitta"), {QStringLiteral("CITTA"), QStringLiteral("RAGSOC")}, false, true)();
    expectRefused(3283, index(QStringLiteral("Altra"), {QStringLiteral("FIDO")}, true, false), "second primary");
    expectRefused(3284, index(QStringLiteral("ragcitta"), {QStringLiteral("FIDO")}, false, false), "taken name");

    ASSERT_EQ(t.Indexes().Count(), 2);
    const Index pk = t.Indexes().Item(QStringLiteral("PrimaryKey"));
    EXPECT_TRUE(pk.Primary());
    EXPECT_TRUE(pk.Unique());
    const Index rc = t.Indexes().Item(QStringLiteral("RagCitta"));
    EXPECT_FALSE(rc.Primary());
    EXPECT_EQ(rc.Fields().Item(0).Name(), QStringLiteral("CITTA"));
    EXPECT_EQ(rc.Fields().Item(1).Name(), QStringLiteral("RAGSOC"));

    // The new unique index refuses a duplicate written afterwards, without regard to case.
    expectRefused(
        3022,
        [&] {
            detail::DatabaseImpl::WriteScope ws(*dbe::inside::Impl(db));
            dbe::inside::Impl(db)->exec(
                QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, CITTA) VALUES (9, 'ROSSI', 'ROMA')"));
            ws.commit();
        },
        "duplicate written");
    t.Indexes().Delete(QStringLiteral("RAGCITTA"));
    EXPECT_FALSE(t.Indexes().Contains(QStringLiteral("RagCitta")));
    EXPECT_EQ(
        sqliteValue(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'CLIENTI.RagCitta'")).toInt(),
        0);
    expectRefused(
        3265, [&] { t.Indexes().Delete(QStringLiteral("RagCitta")); }, "absent index");
}

TEST_F(DdlTest, PropertiesAndTableDelete)
{
    TableDef t = db.TableDefs().Item(QStringLiteral("CLIENTI"));
    t.Properties().Append(t.CreateProperty(QStringLiteral("Description"), dbText, QStringLiteral("Clienti")));
    t.Properties().Append(t.CreateProperty(QStringLiteral("OrderByOn"), dbBoolean, false));
    expectRefused(
        3367,
        [&] { t.Properties().Append(t.CreateProperty(QStringLiteral("description"), dbText, QStringLiteral("x"))); },
        "taken property");
    expectRefused(
        3367, [&] { t.Properties().Append(t.CreateProperty(QStringLiteral("Name"), dbText, QStringLiteral("x"))); },
        "built-in property");
    expectRefused(
        3259, [&] { t.Properties().Append(t.CreateProperty(QStringLiteral("P"), 99, 1)); }, "property type");
    expectRefused(
        3464, [&] { t.Properties().Append(t.CreateProperty(QStringLiteral("P"), dbLong, QStringLiteral("abc"))); },
        "property value");

    // Stored at once: another connection sees them, in append order, after the built-in ones.
    Database other = OpenDatabase(path);
    PropertyCollection pc = other.TableDefs().Item(QStringLiteral("CLIENTI")).Properties();
    ASSERT_EQ(pc.Count(), 14);
    EXPECT_EQ(pc.Item(12).Name(), QStringLiteral("Description"));
    EXPECT_EQ(pc.Item(13).Name(), QStringLiteral("OrderByOn"));
    EXPECT_EQ(pc.Item(13).Type(), dbBoolean);
    EXPECT_EQ(pc.Item(13).Value(), QVariant(false));
    pc.Item(12).SetValue(QStringLiteral("Anagrafica"));
    EXPECT_EQ(t.Properties().Item(QStringLiteral("Description")).Value().toString(), QStringLiteral("Anagrafica"));

    expectRefused(
        3265, [&] { db.TableDefs().Delete(QStringLiteral("NESSUNA")); }, "absent table");
    db.TableDefs().Delete(QStringLiteral("clienti"));
    EXPECT_FALSE(db.TableDefs().Contains(QStringLiteral("CLIENTI")));
    EXPECT_FALSE(other.TableDefs().Contains(QStringLiteral("CLIENTI")));
    EXPECT_EQ(sqliteValue(path, QStringLiteral("SELECT count(*) FROM MSysProperties")).toInt(), 0);
    EXPECT_EQ(t.Name(), QStringLiteral("CLIENTI"));  // the old object still answers
}
