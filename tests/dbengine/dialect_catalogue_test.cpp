// The checks' own query texts, translated and run on small archives: every empty-record, orphan
// and joined-record query of the catalogue, the lookup that finds a joined row's record again,
// and the indexes SQLite can use for them.
#include "dialect_fixture.h"

#include <QRegularExpression>

using namespace dialect_test;

namespace {

const char* const kEmptyRecordQueries[] = {
    "CLIENTI WHERE ISNULL(CODICE) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''",
    "FORNIT WHERE ISNULL(COD) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''",
    "AGENTI WHERE ISNULL(CODAGE) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''",
    "AGENZIA WHERE ISNULL(COD) OR ISNULL(RAG) OR TRIM(RAG)=''",
    "PRODOTTI WHERE ISNULL(CODICE) OR ISNULL(DESCR) OR TRIM(DESCR)=''",
    "LINEE WHERE ISNULL(LINEA) OR ISNULL(DESCR) OR TRIM(DESCR)=''",
    "VENDITE WHERE ISNULL(NUMORD) OR TRIM(NUMORD)=''",
    "FATTURE WHERE ISNULL(NUMFAT) OR TRIM(NUMFAT)=''",
    "AGENDA WHERE ISNULL(GIORNO) OR ISNULL(TESTO) OR TRIM(TESTO)=''",
};

struct Orphan {
    const char* table;
    const char* master;
    const char* reference;
    const char* key;
};
const Orphan kOrphanChecks[] = {
    {"VENDITE", "CLIENTI", "CODCLI", "CODICE"}, {"VENDITE", "AGENTI", "CODAGE", "CODAGE"},
    {"VENDITE", "FORNIT", "DITTA", "COD"},      {"VENDITE", "AGENZIA", "CODAGENZIA", "COD"},
    {"FATTURE", "CLIENTI", "CODCLI", "CODICE"}, {"FATTURE", "AGENTI", "CODAGE", "CODAGE"},
    {"FATTURE", "FORNIT", "CODDITTA", "COD"},   {"FATTURE", "AGENZIA", "CODAGENZIA", "COD"},
    {"PRODOTTI", "FORNIT", "FORNITORE", "COD"}, {"CLIDITT", "CLIENTI", "CODCLI", "CODICE"},
    {"CLIDITT", "FORNIT", "CODDIT", "COD"},     {"CLIDITT", "MODPAGAM", "PAGAM", "COD"},
    {"PAGAM", "CLIENTI", "CODCLI", "CODICE"},   {"PAGAM", "AGENTI", "AGENTE", "CODAGE"},
    {"PAGAM", "FORNIT", "DITTA", "COD"},
};

QString orphanQuery(const Orphan& o)
{
    return QStringLiteral("SELECT * FROM ") + QLatin1String(o.table) + QStringLiteral(" WHERE ")
           + QLatin1String(o.reference) + QStringLiteral(" NOT IN ") + QStringLiteral("(SELECT DISTINCT ")
           + QLatin1String(o.key) + QStringLiteral(" FROM ") + QLatin1String(o.master) + QStringLiteral(")");
}

const QString kOrdersWithoutLines = QStringLiteral(
    "VENDITE LEFT JOIN DETT_ORD ON VENDITE.CODCLI=DETT_ORD.CODCLI AND VENDITE.NUMORD=DETT_ORD.NUMORD AND "
    "VENDITE.DATA=DETT_ORD.DATA AND VENDITE.DITTA=DETT_ORD.DITTA AND VENDITE.TIPODEP=DETT_ORD.LIB3 WHERE "
    "VENDITE.DITTA<>'VARIE' AND ISNULL(DETT_ORD.NUMORD)");
const QString kInvoicesWithoutLines = QStringLiteral(
    "FATTURE LEFT JOIN DETT_FAT ON FATTURE.CODCLI=DETT_FAT.CODCLI AND FATTURE.NUMFAT=DETT_FAT.NUMFAT AND "
    "FATTURE.DATA=DETT_FAT.DATA AND FATTURE.CODDITTA=DETT_FAT.DITTA WHERE FATTURE.CODDITTA<>'VARIE' AND "
    "ISNULL(DETT_FAT.NUMFAT)");
const QString kIsolatedOrderLines = QStringLiteral(
    "VENDITE RIGHT JOIN DETT_ORD ON VENDITE.CODCLI=DETT_ORD.CODCLI AND VENDITE.NUMORD=DETT_ORD.NUMORD AND "
    "VENDITE.DATA=DETT_ORD.DATA AND VENDITE.DITTA=DETT_ORD.DITTA AND VENDITE.TIPODEP=DETT_ORD.LIB3 WHERE "
    "(ISNULL(VENDITE.NUMORD) AND (ISNULL(VENDITE.DITTA) OR (NOT ISNULL(VENDITE.DITTA) AND "
    "VENDITE.DITTA<>'VARIE')))");
const QString kIsolatedInvoiceLines = QStringLiteral(
    "FATTURE RIGHT JOIN DETT_FAT ON FATTURE.CODCLI=DETT_FAT.CODCLI AND FATTURE.NUMFAT=DETT_FAT.NUMFAT AND "
    "FATTURE.DATA=DETT_FAT.DATA AND FATTURE.CODDITTA=DETT_FAT.DITTA WHERE (ISNULL(FATTURE.NUMFAT) AND "
    "(ISNULL(FATTURE.CODDITTA) OR (NOT ISNULL(FATTURE.CODDITTA) AND FATTURE.CODDITTA<>'VARIE')))");
const QString kBatchesWithoutPayments = QStringLiteral(
    "RISOLTI LEFT JOIN PAGAM_RISOLTI ON RISOLTI.IDRIS=PAGAM_RISOLTI.IDRIS WHERE ISNULL(PAGAM_RISOLTI.IDRIS)");

// Orders C1..C5 and their lines: C1 has a line written in other case, C2 belongs to VARIE
// (written in lower case), C3 has no line, C4's line cannot match (TIPODEP and LIB3 both Null),
// C5 has no supplier. Line C9 has no order.
void addOrders(DialectDb& db)
{
    db.exec(QStringLiteral(
        "INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA, TIPODEP) VALUES "
        "('C1', '7', '2001-03-15 00:00:00', 'AB', 'T'), ('C2', '8', '2001-03-16 00:00:00', 'varie', NULL), "
        "('C3', '9', '2001-03-17 00:00:00', 'XY', 'T'), ('C4', '10', '2001-03-18 00:00:00', 'XY', NULL), "
        "('C5', '11', '2001-03-19 00:00:00', NULL, 'T')"));
    db.exec(QStringLiteral(
        "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES "
        "('c1', '7', '2001-03-15 00:00:00', 'ab', 't', 1), ('C4', '10', '2001-03-18 00:00:00', 'XY', NULL, 1), "
        "('C9', '1', '2001-01-01 00:00:00', 'VARIE', 'T', 1)"));
}

}  // namespace

TEST(DialectCatalogueTest, EmptyRecordQueriesFindNullAndBlankRecordsOnly)
{
    static const QRegularExpression isNull(QStringLiteral(R"(ISNULL\((\w+)\))"));
    static const QRegularExpression trimmed(QStringLiteral(R"(TRIM\((\w+)\))"));
    for (const char* p0 : kEmptyRecordQueries) {
        SCOPED_TRACE(p0);
        const QString text = QString::fromLatin1(p0);
        const QString table = text.section(u' ', 0, 0);
        QStringList fields;
        for (auto it = isNull.globalMatch(text); it.hasNext();)
            fields.append(it.next().captured(1));
        const QString blankField = trimmed.match(text).captured(1);
        DialectDb db;
        addArchiveTables(db, /*nocase=*/false);
        auto insert = [&](const QString& nullField, const QString& blank) {
            QStringList values;
            for (const QString& f : fields)
                values.append(f == nullField                       ? QStringLiteral("NULL")
                              : f == blankField && !blank.isNull() ? u'\'' + blank + u'\''
                                                                   : QStringLiteral("'x'"));
            db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, fields.join(u','), values.join(u',')));
        };
        insert(QString(), QString());  // complete: not found
        insert(QString(), QStringLiteral(" a "));  // spaces around a name: not found
        for (const QString& f : fields)
            insert(f, QString());  // one per field left Null
        insert(QString(), QStringLiteral("   "));  // only spaces
        insert(QString(), QStringLiteral(""));  // empty text
        EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM ") + text), fields.size() + 2);
    }
}

TEST(DialectCatalogueTest, OrphanQueriesMatchKeysWithoutRegardToCaseAndSkipNullReferences)
{
    for (const bool declaredNocase : {true, false}) {
        for (const Orphan& o : kOrphanChecks) {
            const QString query = orphanQuery(o);
            SCOPED_TRACE(query.toStdString() + (declaredNocase ? "" : " (hand-made archive)"));
            DialectDb db;
            addArchiveTables(db, declaredNocase);
            db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES ('K1'), ('k2')").arg(o.master, o.key));
            db.exec(
                QStringLiteral("INSERT INTO %1 (%2) VALUES ('k1'), ('K2'), ('ZZ'), (NULL)").arg(o.table, o.reference));
            const dbe::dialect::Statement st = db.translate(query);
            ASSERT_TRUE(st.select.keyset);
            const auto rows = db.rows(st.select.keySql);
            ASSERT_EQ(rows.size(), 1);
            EXPECT_EQ(db.rows(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = %3")
                                  .arg(o.reference, o.table, rows[0][0].toString()))[0][0]
                          .toString(),
                      QStringLiteral("ZZ"));
            // A master key left Null: NOT IN is then never true.
            db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (NULL)").arg(o.master, o.key));
            EXPECT_EQ(db.count(query), 0);
        }
    }
}

TEST(DialectCatalogueTest, OrphanQueryOnAMissingTableOrFieldFails)
{
    DialectDb db;
    addArchiveTables(db);
    QString description;
    EXPECT_EQ(errorOf(db, orphanQuery({"CLIDITT", "MODPAGAMX", "PAGAM", "COD"}), &description), 3078);
    EXPECT_TRUE(description.contains(QStringLiteral("'MODPAGAMX'")));
    EXPECT_EQ(errorOf(db, orphanQuery({"VENDITE", "CLIENTI", "CODCLIX", "CODICE"}), &description), 3061);
    EXPECT_EQ(description, QStringLiteral("Parametri insufficienti. Previsto 1."));
    EXPECT_EQ(errorOf(db, orphanQuery({"VENDITE", "CLIENTI", "CODCLIX", "CODICEX"}), &description), 3061);
    EXPECT_EQ(description, QStringLiteral("Parametri insufficienti. Previsto 2."));
    EXPECT_EQ(errorOf(db, QStringLiteral("SELECT * FROM AGENDAX WHERE ISNULL(GIORNO)"), &description), 3078);
}

TEST(DialectCatalogueTest, OrdersAndInvoicesWithoutLines)
{
    DialectDb db;
    addArchiveTables(db, /*nocase=*/false);
    addOrders(db);
    const auto st = db.translate(QStringLiteral("SELECT * FROM ") + kOrdersWithoutLines);
    ASSERT_TRUE(st.select.keyset);
    const auto rows = db.rows(st.select.keySql);
    ASSERT_EQ(rows.size(), 2);  // C3 and C4
    QStringList found;
    for (const auto& r : rows) {
        EXPECT_FALSE(r[1].isValid());  // no line
        found.append(
            db.rows(QStringLiteral("SELECT CODCLI FROM VENDITE WHERE rowid = ") + r[0].toString())[0][0].toString());
    }
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("C3"), QStringLiteral("C4")}));
    // The fields the correction reads from the rows.
    for (const char* f : {"VENDITE.CODCLI", "VENDITE.NUMORD", "VENDITE.DATA", "VENDITE.DITTA", "TIPODEP"})
        EXPECT_GE(dbe::dialect::findOutColumn(st.select, QString::fromLatin1(f)), 0) << f;
    EXPECT_EQ(st.select.columns[0].name, QStringLiteral("VENDITE.CODCLI"));
    EXPECT_EQ(st.select.columns[4].name, QStringLiteral("TIPODEP"));
    EXPECT_EQ(st.select.columns[7].name, QStringLiteral("DETT_ORD.CODCLI"));
    EXPECT_EQ(st.select.columns.size(), 7 + 6);

    db.exec(QStringLiteral(
        "INSERT INTO FATTURE (CODCLI, NUMFAT, DATA, CODDITTA) VALUES ('C1', '1', '2001-03-15 00:00:00', 'AB'), "
        "('C2', '2', '2001-03-15 00:00:00', 'Varie'), ('C3', '3', '2001-03-15 00:00:00', 'AB')"));
    db.exec(QStringLiteral(
        "INSERT INTO DETT_FAT (CODCLI, NUMFAT, DATA, DITTA, RIGA) VALUES ('c1', '1', '2001-03-15 00:00:00', 'aB', 1)"));
    const auto inv = db.translate(QStringLiteral("SELECT * FROM ") + kInvoicesWithoutLines);
    EXPECT_EQ(db.rows(inv.select.keySql).size(), 1);  // C3
    for (const char* f : {"FATTURE.CODCLI", "FATTURE.NUMFAT", "FATTURE.DATA", "CODDITTA"})
        EXPECT_GE(dbe::dialect::findOutColumn(inv.select, QString::fromLatin1(f)), 0) << f;
}

TEST(DialectCatalogueTest, IsolatedLinesOfARightJoin)
{
    DialectDb db;
    addArchiveTables(db);
    addOrders(db);
    const auto st = db.translate(QStringLiteral("SELECT * FROM ") + kIsolatedOrderLines);
    ASSERT_TRUE(st.select.keyset);
    ASSERT_EQ(st.select.sources.size(), 2);
    EXPECT_EQ(st.select.sources[0].table, QStringLiteral("VENDITE"));
    const auto rows = db.rows(st.select.keySql);
    ASSERT_EQ(rows.size(), 2);  // the line of C4 (Null LIB3 matches nothing) and C9's
    for (const auto& r : rows) {
        EXPECT_FALSE(r[0].isValid());  // the order side is missing: first column, FROM order
        EXPECT_TRUE(r[1].isValid());
    }
    for (const char* f :
         {"DETT_ORD.CODCLI", "DETT_ORD.NUMORD", "DETT_ORD.DATA", "DETT_ORD.LIB3", "DETT_ORD.DITTA", "RIGA"})
        EXPECT_GE(dbe::dialect::findOutColumn(st.select, QString::fromLatin1(f)), 0) << f;
    EXPECT_EQ(dbe::dialect::findOutColumn(st.select, QStringLiteral("CODCLI")), -1);

    db.exec(QStringLiteral(
        "INSERT INTO FATTURE (CODCLI, NUMFAT, DATA, CODDITTA) VALUES ('C1', '1', '2001-03-15 00:00:00', 'AB')"));
    db.exec(QStringLiteral(
        "INSERT INTO DETT_FAT (CODCLI, NUMFAT, DATA, DITTA, RIGA) VALUES ('C1', '1', '2001-03-15 00:00:00', 'AB', 1), "
        "('C1', '1', '2001-03-15 00:00:00', 'AB', 2), ('C1', '2', '2001-03-15 00:00:00', 'VARIE', 1)"));
    const auto inv = db.translate(QStringLiteral("SELECT * FROM ") + kIsolatedInvoiceLines);
    EXPECT_EQ(db.rows(inv.select.keySql).size(), 1);
    for (const char* f : {"DETT_FAT.CODCLI", "DETT_FAT.NUMFAT", "DETT_FAT.DATA", "DITTA", "RIGA"})
        EXPECT_GE(dbe::dialect::findOutColumn(inv.select, QString::fromLatin1(f)), 0) << f;
}

TEST(DialectCatalogueTest, BatchesWithoutPayments)
{
    DialectDb db;
    addArchiveTables(db);
    db.exec(QStringLiteral("INSERT INTO RISOLTI (IDRIS) VALUES (1), (2), (3)"));
    db.exec(QStringLiteral("INSERT INTO PAGAM_RISOLTI (IDPAG, IDRIS) VALUES (10, 1), (11, 1), (12, 3)"));
    const auto st = db.translate(QStringLiteral("SELECT * FROM ") + kBatchesWithoutPayments);
    const auto rows = db.rows(st.select.keySql);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0].toInt(), 2);
    EXPECT_EQ(dbe::dialect::findOutColumn(st.select, QStringLiteral("RISOLTI.IDRIS")), 0);
    EXPECT_EQ(st.select.columns[3].name, QStringLiteral("PAGAM_RISOLTI.IDRIS"));
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM RISOLTI WHERE TRUE AND RISOLTI.IDRIS=2 ")), 1);
}

TEST(DialectCatalogueTest, LookupOfAJoinedRowFindsItsRecordByKey)
{
    DialectDb db;
    addArchiveTables(db, /*nocase=*/false);
    db.exec(QStringLiteral(
        "INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA, TIPODEP) VALUES "
        "('C1', '7', '2001-03-15 00:00:00', 'AB', NULL), ('c1', '7', '2001-03-15 00:00:00', 'ab', NULL), "
        "('C1', '7', '2001-03-15 10:30:00', 'AB', NULL), ('C1', '7', '2001-03-15 00:00:00', 'AB', 'T'), "
        "('C1', '70', '2001-03-15 00:00:00', 'AB', NULL), ('C1', '7', '2001-03-16 00:00:00', 'AB', NULL)"));
    EXPECT_EQ(db.count(QStringLiteral("SELECT * FROM VENDITE WHERE TRUE AND VENDITE.CODCLI='C1' AND "
                                      "VENDITE.NUMORD='7' AND VENDITE.DATA=#03/15/2001# AND VENDITE.DITTA='AB' "
                                      "AND ISNULL(TIPODEP) ")),
              2);
}

TEST(DialectCatalogueTest, JoinsAndLookupsUseTheIndexes)
{
    DialectDb db;
    addArchiveTables(db);
    db.exec(QStringLiteral("CREATE INDEX ord_key ON VENDITE (CODCLI, NUMORD, DATA, DITTA)"));
    db.exec(QStringLiteral("CREATE INDEX line_key ON DETT_ORD (CODCLI, NUMORD, DATA, DITTA)"));
    db.exec(QStringLiteral("CREATE INDEX pr_key ON PAGAM_RISOLTI (IDRIS)"));
    const auto left = db.translate(QStringLiteral("SELECT * FROM ") + kOrdersWithoutLines);
    EXPECT_TRUE(db.plan(left.select.keySql).contains(QStringLiteral("SEARCH DETT_ORD USING")))
        << db.plan(left.select.keySql).toStdString();
    const auto right = db.translate(QStringLiteral("SELECT * FROM ") + kIsolatedOrderLines);
    EXPECT_TRUE(db.plan(right.select.keySql).contains(QStringLiteral("SEARCH VENDITE USING")))
        << db.plan(right.select.keySql).toStdString();
    const auto batches = db.translate(QStringLiteral("SELECT * FROM ") + kBatchesWithoutPayments);
    EXPECT_TRUE(db.plan(batches.select.keySql).contains(QStringLiteral("SEARCH PAGAM_RISOLTI USING")));
    const auto lookup = db.translate(
        QStringLiteral("SELECT * FROM VENDITE WHERE TRUE AND VENDITE.CODCLI='C1' AND VENDITE.NUMORD='7' AND "
                       "VENDITE.DATA=#03/15/2001# AND VENDITE.DITTA='AB' AND ISNULL(TIPODEP) "));
    // The date of the key is read exactly from the records the code and number find.
    EXPECT_TRUE(db.plan(lookup.select.keySql)
                    .contains(QStringLiteral("SEARCH VENDITE USING INDEX ord_key (CODCLI=? AND NUMORD=?")))
        << db.plan(lookup.select.keySql).toStdString();
}
