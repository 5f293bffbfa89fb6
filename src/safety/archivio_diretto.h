#pragma once
// Plain SQLite connections of the safety code on a file, beside the engine's own connection to the
// same archive (SQLite shares its locks between the connections of one process, so this opens no
// descriptor outside SQLite). Used where the engine has no word for what is needed: the entry
// counts of each index against its table, the list of tables of a file offered as a copy, the
// hold on the archive against other programs' writers during a repair. Callers may rely on: the
// connection is closed on destruction; a read-only connection never changes the file; every
// failure is reported as SQLite's message, never thrown. A connection is used by one thread at a
// time: it is opened without SQLite's lock around every call, which the checks, reading every
// value of a table through a call each, would otherwise take and give back millions of times.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

struct sqlite3;

namespace corvale {

class ArchivioDiretto {
public:
    // Opens the file (never creating it); ok() false with errore() when it cannot be opened.
    ArchivioDiretto(const QString& file, bool scrittura, int attesaMs = 0);
    ~ArchivioDiretto();
    ArchivioDiretto(const ArchivioDiretto&) = delete;
    ArchivioDiretto& operator=(const ArchivioDiretto&) = delete;

    bool ok() const { return db_ != nullptr; }
    QString errore() const { return errore_; }
    sqlite3* get() const { return db_; }

    // Runs statements; false with errore() on failure. codice() gives SQLite's primary result code.
    bool esegui(const QString& sql);
    int codice() const { return codice_; }
    // Every row of a query, each as its values (text, integer, real, byte array, null); nullopt on
    // failure.
    std::optional<QVector<QVariantList>> righe(const QString& sql, const QVariantList& parametri = {});
    // The first value of a query; nullopt on failure or without rows.
    std::optional<QVariant> valore(const QString& sql, const QVariantList& parametri = {});
    // The tables of the file (SQLite's own aside), by name.
    std::optional<QStringList> tabelle();

private:
    sqlite3* db_ = nullptr;
    QString errore_;
    int codice_ = 0;
};

// A name quoted for SQLite.
QString NomeSqlite(const QString& nome);

}  // namespace corvale
