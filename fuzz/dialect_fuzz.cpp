// Fuzz target for the query dialect: any text must translate or raise a DbError, never crash,
// hang or throw anything else; and SQL from a successful translation must be accepted by SQLite
// on a database with the same tables (the translator, not SQLite, reports what is wrong).
// Build: CXX=clang++ cmake -S . -B build-fuzz -DCORVALE_FUZZ=ON && cmake --build build-fuzz
// --target dialect_fuzz; run: build-fuzz/fuzz/dialect_fuzz -max_len=512 corpus/
#include "dbengine_inside.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace dbe::dialect;

class FuzzSchema : public SchemaProvider {
public:
    FuzzSchema()
    {
        auto col = [](const char* name, short type, qint32 size, qint32 attributes = 0, bool required = false) {
            Column c;
            c.name = QString::fromUtf8(name);
            c.type = type;
            c.size = size;
            c.attributes = attributes;
            c.required = required;
            return c;
        };
        tables_.append({QStringLiteral("CLIENTI"), {col("CODICE", 10, 10), col("RAGSOC", 10, 50), col("NOTE", 12, 0)}});
        tables_.append({QStringLiteral("VENDITE"),
                        {col("ID", 4, 4, 16), col("CODCLI", 10, 10), col("NUMORD", 10, 10), col("DATA", 8, 8),
                         col("IMPORTO", 7, 8), col("FATTO", 1, 1), col("DITTA", 10, 10, 0, true)}});
        tables_.append({QStringLiteral("Dett Ord"),
                        {col("CODCLI", 10, 10), col("NUMORD", 10, 10), col("RIGA", 3, 2), col("Città", 10, 20)}});
        sqlite3_open(":memory:", &db_);
        sqlite3_create_function(
            db_, "dbe_fit", 6, SQLITE_UTF8, nullptr,
            [](sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }, nullptr,
            nullptr);
        // The functions translated SQL calls: the engine's comparison functions and collation as
        // they are; for the query functions only their names and argument counts matter here.
        dbe::detail::registerValueFunctions(db_);
        for (const RuntimeFunction& f : runtimeFunctions()) {
            sqlite3_create_function(
                db_, f.name, f.arguments, SQLITE_UTF8, nullptr,
                [](sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_null(ctx); }, nullptr, nullptr);
        }
        sqlite3_exec(db_,
                     "CREATE TABLE CLIENTI (CODICE TEXT COLLATE NOCASE, RAGSOC TEXT COLLATE NOCASE, NOTE TEXT);"
                     "CREATE TABLE VENDITE (ID INTEGER, CODCLI TEXT, NUMORD TEXT, DATA TEXT, IMPORTO REAL, "
                     "FATTO INTEGER, DITTA TEXT);"
                     "CREATE TABLE \"Dett Ord\" (CODCLI TEXT, NUMORD TEXT, RIGA INTEGER, \"Città\" TEXT);",
                     nullptr, nullptr, nullptr);
    }
    const Table* table(const QString& name) const override
    {
        for (const Table& t : tables_) {
            if (t.name.compare(name, Qt::CaseInsensitive) == 0)
                return &t;
        }
        return nullptr;
    }
    // SQLite must accept the SQL; a refusal is a translation fault.
    void check(const QString& sql, const QString& text) const
    {
        if (sql.isEmpty())
            return;
        sqlite3_stmt* st = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "SQLite refused the translation of\n%s\n%s\n%s\n", text.toUtf8().constData(),
                         utf8.constData(), sqlite3_errmsg(db_));
            std::abort();
        }
        sqlite3_finalize(st);
    }
    // SELECT ... INTO: its copy is checked against the new table, made for the check alone.
    void checkInto(const Statement& st, const QString& text) const
    {
        QStringList fields;
        for (const FieldDef& f : st.fields)
            fields << u'"' + QString(f.name).replace(u'"', QStringLiteral("\"\"")) + u'"';
        const QString table = u'"' + QString(st.table).replace(u'"', QStringLiteral("\"\"")) + u'"';
        sqlite3_exec(db_, "SAVEPOINT dbe_fuzz", nullptr, nullptr, nullptr);
        const QByteArray create = QStringLiteral("CREATE TABLE %1 (%2)").arg(table, fields.join(u',')).toUtf8();
        if (sqlite3_exec(db_, create.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
            check(st.sql, text);
        sqlite3_exec(db_, "ROLLBACK TO dbe_fuzz; RELEASE dbe_fuzz", nullptr, nullptr, nullptr);
    }

private:
    QVector<Table> tables_;
    sqlite3* db_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzSchema schema;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Statement st = translate(text, schema);
        if (st.kind == Statement::SelectInto)
            schema.checkInto(st, text);
        else
            schema.check(st.sql, text);
        schema.check(st.select.keySql, text);
        schema.check(st.select.valuesSql, text);
    } catch (const dbe::DbError&) {
    }
    return 0;
}
