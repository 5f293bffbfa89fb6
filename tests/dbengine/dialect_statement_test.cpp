// The data and data-definition statements: the field rebuild's ALTER/UPDATE sequence, dbe_fit
// around every value written, auto-increment and required fields on INSERT, and the definitions
// the DDL statements hand to the engine.
#include "dialect_fixture.h"

using namespace dialect_test;

namespace {

struct FitCall {
    QVariant value;
    int type = 0;
    int size = 0;
    bool allowZeroLength = false;
    bool required = false;
    QString name;
};

// Replaces the pass-through dbe_fit by one that records its arguments.
void recordFit(DialectDb& db, QVector<FitCall>* calls)
{
    sqlite3_create_function(
        db.db(), "dbe_fit", 6, SQLITE_UTF8, calls,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            auto* out = static_cast<QVector<FitCall>*>(sqlite3_user_data(ctx));
            FitCall c;
            if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
                c.value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
            c.type = sqlite3_value_int(argv[1]);
            c.size = sqlite3_value_int(argv[2]);
            c.allowZeroLength = sqlite3_value_int(argv[3]) != 0;
            c.required = sqlite3_value_int(argv[4]) != 0;
            c.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[5])));
            out->append(c);
            sqlite3_result_value(ctx, argv[0]);
        },
        nullptr, nullptr);
}

}  // namespace

TEST(DialectStatementTest, FieldLengthRebuildSequence)
{
    DialectDb db;
    addArchiveTables(db);
    db.exec(QStringLiteral("INSERT INTO CLIENTI VALUES ('C1', 'Rossi'), ('C2', NULL)"));

    const Statement add = db.translate(QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN [NEWRAGSOC]TEXT(60);"));
    ASSERT_EQ(add.kind, Statement::AlterAddColumn);
    EXPECT_EQ(add.table, QStringLiteral("CLIENTI"));
    ASSERT_EQ(add.fields.size(), 1);
    EXPECT_EQ(add.fields[0].name, QStringLiteral("NEWRAGSOC"));
    EXPECT_EQ(add.fields[0].type, 10);
    EXPECT_EQ(add.fields[0].size, 60);
    // What the engine does with it.
    db.exec(QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN NEWRAGSOC TEXT COLLATE NOCASE"));
    db.mutableTable(QStringLiteral("CLIENTI"))->columns.append({QStringLiteral("NEWRAGSOC"), 10, 60, 0, true, false});

    QVector<FitCall> calls;
    recordFit(db, &calls);
    const Statement copy = db.translate(QStringLiteral("UPDATE CLIENTI SET [NEWRAGSOC]=[RAGSOC];"));
    ASSERT_EQ(copy.kind, Statement::Update);
    EXPECT_EQ(copy.table, QStringLiteral("CLIENTI"));
    db.exec(copy.sql);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT NEWRAGSOC FROM CLIENTI WHERE CODICE='C1'"))[0][0].toString(),
              QStringLiteral("Rossi"));
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].type, 10);
    EXPECT_EQ(calls[0].size, 60);
    EXPECT_TRUE(calls[0].allowZeroLength);
    EXPECT_FALSE(calls[0].required);
    EXPECT_EQ(calls[0].name, QStringLiteral("NEWRAGSOC"));

    const Statement drop = db.translate(QStringLiteral("ALTER TABLE CLIENTI DROP [RAGSOC]"));
    ASSERT_EQ(drop.kind, Statement::AlterDropColumn);
    EXPECT_EQ(drop.field, QStringLiteral("RAGSOC"));
    EXPECT_EQ(drop.table, QStringLiteral("CLIENTI"));
}

TEST(DialectStatementTest, FieldTypeRebuildStatements)
{
    DialectDb db;
    addArchiveTables(db);
    db.addTable(QStringLiteral("Fornitori Esteri"), {{QStringLiteral("Ragsoc")}, {QStringLiteral("RAGSOC_NEW"), 12}});
    db.exec(QStringLiteral("INSERT INTO \"Fornitori Esteri\" VALUES ('Alfa', NULL)"));
    const Statement copy = db.translate(QStringLiteral("update [fornitori esteri] set ragsoc_new=RAGSOC"));
    EXPECT_EQ(copy.table, QStringLiteral("Fornitori Esteri"));
    EXPECT_TRUE(copy.sql.startsWith(QStringLiteral("UPDATE \"Fornitori Esteri\" SET \"RAGSOC_NEW\" = dbe_fit(")));
    db.exec(copy.sql);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT RAGSOC_NEW FROM \"Fornitori Esteri\""))[0][0].toString(),
              QStringLiteral("Alfa"));
    const Statement drop = db.translate(QStringLiteral("ALTER TABLE CLIENTI DROP COLUMN ragsoc"));
    EXPECT_EQ(drop.kind, Statement::AlterDropColumn);
    EXPECT_EQ(drop.field, QStringLiteral("RAGSOC"));
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTI DROP COLUMN NOSUCH")), 3265);
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTX DROP COLUMN RAGSOC")), 3376);
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN ragsoc TEXT(10)")), 3380);
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN X TEXT(0)")), 3290);
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN X NOSUCHTYPE")), 3290);
    EXPECT_EQ(errorOf(db, QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN")), 3290);
}

TEST(DialectStatementTest, UpdateAndDeleteSelectWithoutRegardToCase)
{
    DialectDb db;
    addArchiveTables(db, /*nocase=*/false);
    db.exec(QStringLiteral(
        "INSERT INTO VENDITE (CODCLI, NUMORD, DITTA) VALUES ('c1', '1', 'x'), ('C1', '2', 'y'), ('C2', '3', NULL)"));
    QVector<FitCall> calls;
    recordFit(db, &calls);
    db.run(QStringLiteral("UPDATE VENDITE SET DITTA='VARIE', NUMORD=NUMORD & '-' WHERE CODCLI='C1'"));
    EXPECT_EQ(calls.size(), 4);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT count(*) FROM VENDITE WHERE DITTA='VARIE'"))[0][0].toInt(), 2);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT NUMORD FROM VENDITE WHERE CODCLI='c1'"))[0][0].toString(),
              QStringLiteral("1-"));
    db.run(QStringLiteral("UPDATE VENDITE SET VENDITE.DATA=#12/31/2002# WHERE ISNULL(DITTA)"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT DATA FROM VENDITE WHERE CODCLI='C2'"))[0][0].toString(),
              QStringLiteral("2002-12-31 00:00:00"));
    db.run(QStringLiteral("DELETE * FROM VENDITE WHERE CODCLI='c2'"));
    db.run(QStringLiteral("DELETE VENDITE.* FROM VENDITE WHERE NUMORD='2-'"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT count(*) FROM VENDITE"))[0][0].toInt(), 1);
    db.run(QStringLiteral("DELETE FROM VENDITE"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT count(*) FROM VENDITE"))[0][0].toInt(), 0);
    EXPECT_EQ(errorOf(db, QStringLiteral("UPDATE VENDITX SET DITTA='A'")), 3078);
    EXPECT_EQ(errorOf(db, QStringLiteral("UPDATE VENDITE SET NOSUCH='A' WHERE OTHER=1")), 3061);
    EXPECT_EQ(errorOf(db, QStringLiteral("UPDATE VENDITE SET DITTA=")), 3075);
    EXPECT_EQ(errorOf(db, QStringLiteral("UPDATE VENDITE DITTA='A'")), 3144);
    EXPECT_EQ(errorOf(db, QStringLiteral("DELETE FROM VENDITX")), 3078);
}

TEST(DialectStatementTest, InsertFillsCountersAndRefusesMissingRequiredFields)
{
    DialectDb db;
    db.addTable(QStringLiteral("NOTE"), {{QStringLiteral("ID"), 4, 4, false, true},
                                         {QStringLiteral("TESTO"), 10, 20, true},
                                         {QStringLiteral("GIORNO"), 8, 8},
                                         {QStringLiteral("FATTO"), 1, 1}});
    QVector<FitCall> calls;
    recordFit(db, &calls);
    db.run(QStringLiteral("INSERT INTO NOTE (TESTO, GIORNO, FATTO) VALUES ('uno', #1/2/2003#, TRUE)"));
    db.run(QStringLiteral("insert into note (testo) values ('it''s')"));
    db.run(QStringLiteral("INSERT INTO NOTE VALUES (10, 'tre', NULL, FALSE);"));
    db.run(QStringLiteral("INSERT INTO NOTE (TESTO, FATTO) VALUES ('quattro', 1=1)"));
    const auto rows = db.rows(QStringLiteral("SELECT ID, TESTO, GIORNO, FATTO FROM NOTE ORDER BY ID"));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0][0].toInt(), 1);
    EXPECT_EQ(rows[0][2].toString(), QStringLiteral("2003-01-02 00:00:00"));
    EXPECT_EQ(rows[0][3].toInt(), -1);
    EXPECT_EQ(rows[1][0].toInt(), 2);
    EXPECT_EQ(rows[1][1].toString(), QStringLiteral("it's"));
    EXPECT_EQ(rows[2][0].toInt(), 10);
    EXPECT_EQ(rows[3][0].toInt(), 11);
    EXPECT_EQ(rows[3][3].toInt(), -1);
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls[0].name, QStringLiteral("TESTO"));
    EXPECT_EQ(calls[0].size, 20);
    EXPECT_TRUE(calls[0].required);
    QString d;
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (GIORNO) VALUES (#1/1/2001#)"), &d), 3314);
    EXPECT_TRUE(d.contains(QStringLiteral("'TESTO'")));
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (TESTO, NOSUCH) VALUES ('a', 1)"), &d), 3127);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (TESTO) VALUES ('a', 1)")), 3346);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE VALUES ('a')")), 3346);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (TESTO) VALUES (TESTO)")), 3061);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (TESTO, TESTO) VALUES ('a', 'b')")), 3134);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTE (TESTO) VALUE ('a')")), 3134);
    EXPECT_EQ(errorOf(db, QStringLiteral("INSERT INTO NOTX (TESTO) VALUES ('a')")), 3078);
    EXPECT_EQ(errorOf(db, QStringLiteral("UPDATE NOTE SET ID=5")), 3164);
}

TEST(DialectStatementTest, DataDefinition)
{
    DialectDb db;
    addArchiveTables(db);
    const Statement create = db.translate(QStringLiteral(
        "CREATE TABLE [Nuova Tabella] (ID COUNTER CONSTRAINT PK PRIMARY KEY, Nome TEXT(40) NOT NULL, "
        "Note MEMO, Prezzo CURRENCY, Quando DATETIME, Fatto YESNO, Quanti SHORT, Peso SINGLE, Dato BINARY, "
        "Foto LONGBINARY, Guid GUID, Importo DECIMAL(10, 2), Piccolo BYTE, Testo CHAR, Reale FLOAT, "
        "CONSTRAINT U1 UNIQUE (nome, quando))"));
    ASSERT_EQ(create.kind, Statement::CreateTable);
    EXPECT_EQ(create.table, QStringLiteral("Nuova Tabella"));
    ASSERT_EQ(create.fields.size(), 15);
    const short types[] = {4, 10, 12, 5, 8, 1, 3, 6, 9, 11, 15, 20, 2, 10, 7};
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(create.fields[i].type, types[i]) << i;
    EXPECT_TRUE(create.fields[0].autoIncrement);
    EXPECT_EQ(create.fields[1].size, 40);
    EXPECT_TRUE(create.fields[1].notNull);
    EXPECT_EQ(create.fields[13].size, 255);
    ASSERT_EQ(create.constraints.size(), 2);
    EXPECT_EQ(create.constraints[0].name, QStringLiteral("PK"));
    EXPECT_TRUE(create.constraints[0].primary);
    EXPECT_EQ(create.constraints[0].fields, QStringList{QStringLiteral("ID")});
    EXPECT_EQ(create.constraints[1].fields, (QStringList{QStringLiteral("Nome"), QStringLiteral("Quando")}));
    EXPECT_TRUE(create.constraints[1].unique);
    EXPECT_FALSE(create.constraints[1].primary);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE TABLE clienti (A TEXT)")), 3010);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE TABLE T (A TEXT, a LONG)")), 3191);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE TABLE T (A TEXT, CONSTRAINT P PRIMARY KEY (B))")), 3290);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE TABLE T ()")), 3290);

    const Statement index = db.translate(
        QStringLiteral("CREATE UNIQUE INDEX Chiave ON vendite (codcli ASC, NUMORD DESC, [DATA]) WITH DISALLOW NULL"));
    ASSERT_EQ(index.kind, Statement::CreateIndex);
    EXPECT_EQ(index.index.name, QStringLiteral("Chiave"));
    EXPECT_EQ(index.index.table, QStringLiteral("VENDITE"));
    EXPECT_EQ(index.index.fields,
              (QStringList{QStringLiteral("CODCLI"), QStringLiteral("NUMORD"), QStringLiteral("DATA")}));
    EXPECT_EQ(index.index.descending, (QList<bool>{false, true, false}));
    EXPECT_TRUE(index.index.unique);
    EXPECT_TRUE(index.index.disallowNull);
    EXPECT_FALSE(index.index.primary);
    EXPECT_TRUE(db.translate(QStringLiteral("CREATE INDEX PrimaryKey ON CLIENTI (CODICE) WITH PRIMARY")).index.primary);
    EXPECT_TRUE(db.translate(QStringLiteral("CREATE INDEX I ON CLIENTI (RAGSOC) WITH IGNORE NULL")).index.ignoreNull);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE INDEX I ON CLIENTX (RAGSOC)")), 3376);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE INDEX I ON CLIENTI (NOSUCH)")), 3265);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE INDEX I ON CLIENTI RAGSOC")), 3290);

    const Statement dropIndex = db.translate(QStringLiteral("DROP INDEX Chiave ON vendite"));
    EXPECT_EQ(dropIndex.kind, Statement::DropIndex);
    EXPECT_EQ(dropIndex.index.name, QStringLiteral("Chiave"));
    EXPECT_EQ(dropIndex.index.table, QStringLiteral("VENDITE"));
    EXPECT_EQ(errorOf(db, QStringLiteral("DROP INDEX Chiave ON nessuna")), 3376);
    const Statement dropTable = db.translate(QStringLiteral("drop table [agenda];"));
    EXPECT_EQ(dropTable.kind, Statement::DropTable);
    EXPECT_EQ(dropTable.table, QStringLiteral("AGENDA"));
    EXPECT_EQ(errorOf(db, QStringLiteral("DROP TABLE nessuna")), 3376);
    const Statement addKey = db.translate(QStringLiteral("ALTER TABLE clienti ADD CONSTRAINT PK PRIMARY KEY (codice)"));
    EXPECT_EQ(addKey.kind, Statement::CreateIndex);
    EXPECT_TRUE(addKey.index.primary);
    EXPECT_EQ(addKey.index.fields, QStringList{QStringLiteral("CODICE")});
    EXPECT_EQ(db.translate(QStringLiteral("ALTER TABLE clienti DROP CONSTRAINT PK")).kind, Statement::DropIndex);
    const Statement addLong = db.translate(QStringLiteral("ALTER TABLE CLIENTI ADD Punti LONG NOT NULL"));
    EXPECT_EQ(addLong.fields[0].type, 4);
    EXPECT_TRUE(addLong.fields[0].notNull);
    EXPECT_EQ(errorOf(db, QStringLiteral("CREATE VIEW V AS SELECT * FROM CLIENTI")), 3290);
    EXPECT_EQ(errorOf(db, QStringLiteral("DROP TABLE CLIENTI extra")), 3142);
}
