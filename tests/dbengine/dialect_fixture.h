#pragma once
// DialectDb: an in-memory SQLite database whose tables are described once and seen both by SQLite
// and by the dialect translator (as its SchemaProvider), so that the dialect tests can translate a
// statement and run the SQL it gives on real data. dbe_fit is registered as a pass-through: the
// rules it enforces belong to the engine, not to the translation. The functions the translation
// compares dates and texts with, and the query functions, are the engine's own.
#include "dbengine_inside.h"

#include <QVariant>
#include <QVector>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace dialect_test {

using dbe::dialect::Column;
using dbe::dialect::Statement;
using dbe::dialect::Table;

// A column: name, type code, size, required, auto-increment.
struct Col {
    QString name;
    short type = 10;
    qint32 size = 50;
    bool required = false;
    bool autoIncrement = false;
};

class DialectDb : public dbe::dialect::SchemaProvider {
public:
    DialectDb()
    {
        sqlite3_open(":memory:", &db_);
        sqlite3_create_function(
            db_, "dbe_fit", 6, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
            [](sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }, nullptr,
            nullptr);
        dbe::detail::registerValueFunctions(db_);  // dates, case, currency: part of the translation
        dbe::detail::registerQueryFunctions(db_);
    }
    ~DialectDb() override { sqlite3_close(db_); }
    DialectDb(const DialectDb&) = delete;
    DialectDb& operator=(const DialectDb&) = delete;

    // Creates the table in SQLite and in the schema. Text columns are declared COLLATE NOCASE
    // unless nocase is false (a hand-made archive).
    void addTable(const QString& name, const QVector<Col>& cols, bool nocase = true)
    {
        Table t;
        t.name = name;
        QStringList decl;
        for (const Col& c : cols) {
            Column col;
            col.name = c.name;
            col.type = c.type;
            col.size = c.size;
            col.required = c.required;
            col.attributes = c.autoIncrement ? 16 : 0;
            col.allowZeroLength = true;
            t.columns.append(col);
            QString type;
            switch (c.type) {
            case 10:
            case 12: type = nocase ? QStringLiteral("TEXT COLLATE NOCASE") : QStringLiteral("TEXT"); break;
            case 8: type = QStringLiteral("TEXT"); break;
            case 6:
            case 7:
            case 5: type = QStringLiteral("REAL"); break;
            default: type = QStringLiteral("INTEGER");
            }
            decl.append(QStringLiteral("\"%1\" %2").arg(c.name, type));
        }
        exec(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(name, decl.join(QStringLiteral(", "))));
        tables_.append(t);
    }

    const Table* table(const QString& name) const override
    {
        for (const Table& t : tables_) {
            if (t.name.compare(name, Qt::CaseInsensitive) == 0)
                return &t;
        }
        return nullptr;
    }
    Table* mutableTable(const QString& name) { return const_cast<Table*>(table(name)); }

    // Runs SQL; a failure fails the test and returns the SQLite message.
    QString exec(const QString& sql)
    {
        char* msg = nullptr;
        const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &msg);
        QString error;
        if (rc != SQLITE_OK) {
            error = QString::fromUtf8(msg ? msg : "error");
            ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n" << error.toStdString();
        }
        sqlite3_free(msg);
        if (sql.contains(QStringLiteral("INDEX"), Qt::CaseInsensitive))
            readIndexes();
        return error;
    }

    // The schema's indexes, as the engine reads them from the file.
    void readIndexes()
    {
        for (Table& t : tables_) {
            t.indexes.clear();
            for (const QVector<QVariant>& ix :
                 rows(QStringLiteral("SELECT name FROM pragma_index_list('%1')").arg(t.name))) {
                QVector<int> cols;
                for (const QVector<QVariant>& c :
                     rows(QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno")
                              .arg(ix[0].toString()))) {
                    for (int i = 0; i < t.columns.size(); ++i)
                        if (t.columns[i].name.compare(c[0].toString(), Qt::CaseInsensitive) == 0)
                            cols.append(i);
                }
                t.indexes.append(cols);
            }
        }
    }

    // The rows of a query, each column as a QVariant (Null as an invalid one).
    QVector<QVector<QVariant>> rows(const QString& sql)
    {
        QVector<QVector<QVariant>> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "prepare failed: " << sql.toStdString() << "\n" << sqlite3_errmsg(db_);
            return out;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            QVector<QVariant> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL: row.append(QVariant()); break;
                case SQLITE_INTEGER: row.append(QVariant(qint64(sqlite3_column_int64(st, i)))); break;
                case SQLITE_FLOAT: row.append(QVariant(sqlite3_column_double(st, i))); break;
                default:
                    row.append(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)))));
                }
            }
            out.append(row);
        }
        sqlite3_finalize(st);
        return out;
    }

    // The query plan SQLite chooses, as one text.
    QString plan(const QString& sql)
    {
        QStringList lines;
        for (const auto& r : rows(QStringLiteral("EXPLAIN QUERY PLAN ") + sql))
            lines.append(r.value(3).toString());
        return lines.join(u'\n');
    }

    Statement translate(const QString& text) const { return dbe::dialect::translate(text, *this); }

    // The number of records a SELECT of the dialect returns.
    int count(const QString& text)
    {
        const Statement st = translate(text);
        return int(rows(st.select.keyset ? st.select.keySql : st.select.valuesSql).size());
    }

    // Translates and runs a data statement.
    void run(const QString& text) { exec(translate(text).sql); }

    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
    QVector<Table> tables_;
};

// The archive's tables that the checks read, with the fields they name (text unless said).
inline void addArchiveTables(DialectDb& db, bool nocase = true)
{
    const short D = 8, L = 4;
    db.addTable(QStringLiteral("CLIENTI"), {{QStringLiteral("CODICE")}, {QStringLiteral("RAGSOC")}}, nocase);
    db.addTable(QStringLiteral("FORNIT"), {{QStringLiteral("COD")}, {QStringLiteral("RAGSOC")}}, nocase);
    db.addTable(QStringLiteral("AGENTI"), {{QStringLiteral("CODAGE")}, {QStringLiteral("RAGSOC")}}, nocase);
    db.addTable(QStringLiteral("AGENZIA"),
                {{QStringLiteral("COD")}, {QStringLiteral("RAG")}, {QStringLiteral("VERSDB")}}, nocase);
    db.addTable(QStringLiteral("PRODOTTI"),
                {{QStringLiteral("CODICE")}, {QStringLiteral("DESCR")}, {QStringLiteral("FORNITORE")}}, nocase);
    db.addTable(QStringLiteral("LINEE"), {{QStringLiteral("LINEA")}, {QStringLiteral("DESCR")}}, nocase);
    db.addTable(QStringLiteral("VENDITE"),
                {{QStringLiteral("CODCLI")},
                 {QStringLiteral("NUMORD")},
                 {QStringLiteral("DATA"), D},
                 {QStringLiteral("DITTA")},
                 {QStringLiteral("TIPODEP")},
                 {QStringLiteral("CODAGE")},
                 {QStringLiteral("CODAGENZIA")}},
                nocase);
    db.addTable(QStringLiteral("DETT_ORD"),
                {{QStringLiteral("CODCLI")},
                 {QStringLiteral("NUMORD")},
                 {QStringLiteral("DATA"), D},
                 {QStringLiteral("DITTA")},
                 {QStringLiteral("LIB3")},
                 {QStringLiteral("RIGA"), L}},
                nocase);
    db.addTable(QStringLiteral("FATTURE"),
                {{QStringLiteral("CODCLI")},
                 {QStringLiteral("NUMFAT")},
                 {QStringLiteral("DATA"), D},
                 {QStringLiteral("CODDITTA")},
                 {QStringLiteral("CODAGE")},
                 {QStringLiteral("CODAGENZIA")}},
                nocase);
    db.addTable(QStringLiteral("DETT_FAT"),
                {{QStringLiteral("CODCLI")},
                 {QStringLiteral("NUMFAT")},
                 {QStringLiteral("DATA"), D},
                 {QStringLiteral("DITTA")},
                 {QStringLiteral("RIGA"), L}},
                nocase);
    db.addTable(QStringLiteral("AGENDA"), {{QStringLiteral("GIORNO"), D}, {QStringLiteral("TESTO"), 12}}, nocase);
    db.addTable(QStringLiteral("CLIDITT"),
                {{QStringLiteral("CODCLI")}, {QStringLiteral("CODDIT")}, {QStringLiteral("PAGAM")}}, nocase);
    db.addTable(QStringLiteral("MODPAGAM"), {{QStringLiteral("COD")}, {QStringLiteral("DES")}}, nocase);
    db.addTable(QStringLiteral("PAGAM"),
                {{QStringLiteral("CODCLI")},
                 {QStringLiteral("AGENTE")},
                 {QStringLiteral("DITTA")},
                 {QStringLiteral("IDRIS"), L}},
                nocase);
    db.addTable(QStringLiteral("RISOLTI"), {{QStringLiteral("IDRIS"), L}, {QStringLiteral("NOTE")}}, nocase);
    db.addTable(QStringLiteral("PAGAM_RISOLTI"), {{QStringLiteral("IDPAG"), L}, {QStringLiteral("IDRIS"), L}}, nocase);
}

// The error number a translation raises; 0 when it succeeds.
inline int errorOf(const DialectDb& db, const QString& text, QString* description = nullptr)
{
    try {
        db.translate(text);
    } catch (const dbe::DbError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

}  // namespace dialect_test
