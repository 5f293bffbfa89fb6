// The bulk inserter on a real archive file: values by type read back through a record set, the
// field rules it enforces, its own transaction (nothing kept without Commit), and dates stored at
// midnight whatever the machine's time zone.
#include "dbengine/dbengine.h"
#include "dbengine/inserter.h"
#include "support/sqlite_file.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <gtest/gtest.h>
#include <random>

namespace {

dbe::Database archivioConTabella(const QTemporaryDir& dir)
{
    dbe::Database db = dbe::CreateDatabase(dir.filePath("prova.mdb"));
    db.Execute("CREATE TABLE CLIENTI (CODICE TEXT(6) CONSTRAINT PrimaryKey PRIMARY KEY, "
               "RAGSOC TEXT(20), ZONA TEXT(4), FIDO CURRENCY, NUMERO LONG, DATAINS DATETIME, "
               "ATTIVO BIT)");
    return db;
}

TEST(Inserter, WritesValuesByTypeThatReadBackAsTheFieldsStoreThem)
{
    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    {
        dbe::Inserter ins(db, "clienti", {"CODICE", "RAGSOC", "ZONA", "FIDO", "NUMERO", "DATAINS", "ATTIVO"});
        ins.SetText(0, "C00001");
        ins.SetText(1, "Rossi Marco");
        ins.SetInteger(2, 12);  // a number into a text field: its decimal text
        ins.SetReal(3, 1500.25);
        ins.SetInteger(4, 7);
        ins.SetDate(5, QDate(2023, 4, 5));
        ins.SetInteger(6, -1);
        ins.Insert();
        ins.SetText(0, "C00002");  // every other field back to Null
        ins.Insert();
        EXPECT_EQ(ins.Count(), 2);
        ins.Commit();
    }
    dbe::Recordset rs = db.OpenRecordset("SELECT * FROM CLIENTI WHERE DATAINS=#4/5/2023#");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Value("ZONA").toString(), "12");
    EXPECT_DOUBLE_EQ(rs.Value("FIDO").toDouble(), 1500.25);
    EXPECT_EQ(rs.Value("NUMERO").toLongLong(), 7);
    EXPECT_EQ(rs.Value("DATAINS").toDateTime(), QDateTime(QDate(2023, 4, 5), QTime(0, 0)));
    EXPECT_TRUE(rs.Value("ATTIVO").toBool());
    rs.Close();
    dbe::Recordset vuoto = db.OpenRecordset("SELECT * FROM CLIENTI WHERE ISNULL(RAGSOC) AND ISNULL(DATAINS)");
    EXPECT_EQ(vuoto.RecordCount(), 1);
}

TEST(Inserter, EnforcesTheFieldRulesAndKeepsNothingWithoutCommit)
{
    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    {
        dbe::Inserter ins(db, "CLIENTI", {"CODICE", "RAGSOC"});
        ins.SetText(0, "C00001");
        ins.Insert();
        try {
            ins.SetText(1, "Una ragione sociale troppo lunga");
            FAIL() << "a text longer than the field";
        } catch (const dbe::DbError& e) {
            EXPECT_EQ(e.number(), dbe::err::FieldTooSmall);
        }
        ins.SetText(0, "C00001");
        try {
            ins.Insert();
            FAIL() << "a duplicate primary key";
        } catch (const dbe::DbError& e) {
            EXPECT_EQ(e.number(), dbe::err::DuplicateKey);
        }
        // Destroyed without Commit: the first record goes too.
    }
    EXPECT_EQ(db.OpenRecordset("CLIENTI").RecordCount(), 0);
    EXPECT_THROW(dbe::Inserter(db, "MANCANTE", {"CODICE"}), dbe::DbError);
    EXPECT_THROW(dbe::Inserter(db, "CLIENTI", {"NESSUNO"}), dbe::DbError);
}

// Runs the body with the process's local time zone set to `zona`, then puts the old one back.
template <typename F>
void nelFuso(const char* zona, F corpo)
{
    const QByteArray prima = qgetenv("TZ");
    const bool cera = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", zona);
    tzset();
    corpo();
    if (cera)
        qputenv("TZ", prima);
    else
        qunsetenv("TZ");
    tzset();
}

TEST(Inserter, StoresADateAsItsDayAtMidnightWhateverTheLocalZone)
{
    // Dates drawn over the whole range the field holds, and the days whose midnight a zone skips
    // (São Paulo moved its clocks from 00:00 to 01:00 on 4 November 2018).
    std::mt19937 caso(20261206);
    std::uniform_int_distribution<qint64> giorno(QDate(1, 1, 1).toJulianDay(), QDate(9999, 12, 31).toJulianDay());
    QVector<QDate> date = {QDate(2018, 11, 4), QDate(2017, 10, 15), QDate(1, 1, 1), QDate(9999, 12, 31),
                           QDate(2024, 2, 29)};
    while (date.size() < 200)
        date.append(QDate::fromJulianDay(giorno(caso)));

    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    nelFuso("America/Sao_Paulo", [&] {
        dbe::Inserter ins(db, "CLIENTI", {"CODICE", "DATAINS"});
        for (int i = 0; i < date.size(); ++i) {
            ins.SetText(0, QString::number(i));
            ins.SetDate(1, date[i]);
            ins.Insert();
        }
        ins.Commit();
    });
    db.Close();
    for (int i = 0; i < date.size(); ++i) {
        const QString atteso =
            QString::asprintf("%04d-%02d-%02d 00:00:00", date[i].year(), date[i].month(), date[i].day());
        EXPECT_EQ(testsupport::sqliteValue(dir.filePath("prova.mdb"),
                                           QStringLiteral("SELECT DATAINS FROM CLIENTI WHERE CODICE='%1'").arg(i))
                      .toString()
                      .toStdString(),
                  atteso.toStdString());
    }
}

TEST(Inserter, KeepsEveryTextOfARecordAsGivenWhateverItsLetters)
{
    // Seeded texts (ASCII, accented, beyond the basic plane) set into three fields of each record,
    // some set twice, read back from the file.
    std::mt19937 caso(20261207);
    const QStringList lettere = {"a", "Z", "0", " ", "'", "à", "É", "ß", "€", QString::fromUcs4(U"\U0001F600")};
    auto testo = [&](int massimo) {
        QString t;
        for (int n = 1 + int(caso() % uint(massimo)); n > 0; --n)
            t += lettere[int(caso() % uint(lettere.size()))];
        return t;
    };
    QTemporaryDir dir;
    dbe::Database db = archivioConTabella(dir);
    QVector<QStringList> attesi;
    {
        dbe::Inserter ins(db, "CLIENTI", {"CODICE", "RAGSOC", "ZONA"});
        for (int i = 0; i < 300; ++i) {
            QStringList r = {QString::number(i), testo(9), testo(2)};
            if (caso() % 4 == 0)
                ins.SetText(1, testo(9));  // replaced before the insert: the last one counts
            for (int f = 0; f < 3; ++f)
                ins.SetText(f, r[f]);
            ins.Insert();
            attesi.append(r);
        }
        ins.Commit();
    }
    db.Close();
    const QString file = dir.filePath("prova.mdb");
    for (int i = 0; i < attesi.size(); i += 7) {
        const QString riga = testsupport::sqliteValue(file, QStringLiteral("SELECT RAGSOC || '|' || ZONA FROM CLIENTI "
                                                                           "WHERE CODICE='%1'")
                                                                .arg(i))
                                 .toString();
        EXPECT_EQ(riga.toStdString(), (attesi[i][1] + u'|' + attesi[i][2]).toStdString()) << "record " << i;
    }
}

// A table loaded and indexed in a file of its own moves into an empty table defined alike: every
// record with its row number, every index whole; a table not empty or not alike is refused and
// left as it was.
TEST(Inserter, MovesATableBuiltInAnotherFileIntoAnEmptyOneDefinedAlike)
{
    std::mt19937 caso(7031);
    QTemporaryDir dir;
    const QString definizione = "CREATE TABLE RIGHE (ID LONG, CODCLI TEXT(10), QTA DOUBLE, DATA DATETIME)";
    const QStringList indici = {"CREATE UNIQUE INDEX PrimaryKey ON RIGHE (ID) WITH PRIMARY",
                                "CREATE INDEX DOCUMENTO ON RIGHE (CODCLI, DATA)"};
    auto file = [&](const QString& nome, bool conIndici) {
        dbe::Database db = dbe::CreateDatabase(dir.filePath(nome));
        db.Execute(definizione);
        if (conIndici)
            for (const QString& i : indici)
                db.Execute(i);
        return db;
    };
    dbe::Database sorgente = file("sorgente.mdb", false);
    {
        dbe::Inserter ins(sorgente, "RIGHE", {"ID", "CODCLI", "QTA", "DATA"});
        for (int i = 0; i < 2000; ++i) {
            ins.SetInteger(0, i * 3 + 1);
            ins.SetText(1, QStringLiteral("c%1").arg(caso() % 50));  // letters of either case, as keys do
            if (caso() % 5)
                ins.SetReal(2, double(caso() % 1000) / 8);
            ins.SetDate(3, QDate(2020, 1, 1).addDays(int(caso() % 900)));
            ins.Insert();
        }
        ins.Commit();
    }
    for (const QString& i : indici)
        sorgente.Execute(i);
    sorgente.Close();
    const QString origine = dir.filePath("sorgente.mdb");
    auto contenuto = [&](const QString& f) {
        QStringList out;
        for (const QString& r : testsupport::sqliteDump(f))
            if (r.startsWith("RIGHE|"))
                out << r;
        return out;
    };
    auto numero = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const dbe::DbError& e) {
            return e.number();
        }
        return 0;
    };

    dbe::Database alike = file("alike.mdb", true);
    EXPECT_EQ(dbe::AppendTableFromFile(alike, "righe", origine), 2000);
    alike.Close();
    EXPECT_EQ(contenuto(dir.filePath("alike.mdb")), contenuto(origine));
    EXPECT_EQ(testsupport::sqliteValue(dir.filePath("alike.mdb"), "SELECT group_concat(rowid) FROM RIGHE"),
              testsupport::sqliteValue(origine, "SELECT group_concat(rowid) FROM RIGHE"));
    EXPECT_EQ(testsupport::sqliteValue(dir.filePath("alike.mdb"), "PRAGMA integrity_check").toString(), "ok");

    // Not empty, or with an index the other file lacks: refused, nothing changed.
    dbe::Database piena = file("piena.mdb", true);
    piena.Execute("INSERT INTO RIGHE (ID, CODCLI) VALUES (99999, 'X')");
    EXPECT_EQ(numero([&] { dbe::AppendTableFromFile(piena, "RIGHE", origine); }), 3265);
    dbe::Database diversa = file("diversa.mdb", true);
    diversa.Execute("CREATE INDEX QTA ON RIGHE (QTA)");
    EXPECT_EQ(numero([&] { dbe::AppendTableFromFile(diversa, "RIGHE", origine); }), 3265);
    EXPECT_EQ(numero([&] { dbe::AppendTableFromFile(diversa, "ASSENTE", origine); }), 3078);
    piena.Close();
    diversa.Close();
    EXPECT_EQ(testsupport::sqliteValue(dir.filePath("piena.mdb"), "SELECT count(*) FROM RIGHE").toInt(), 1);
    EXPECT_EQ(testsupport::sqliteValue(dir.filePath("diversa.mdb"), "SELECT count(*) FROM RIGHE").toInt(), 0);
    EXPECT_EQ(testsupport::sqliteValue(origine, "SELECT count(*) FROM RIGHE").toInt(), 2000);
}

}  // namespace
