#include "sqlite_file.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testsupport {

void sqliteExec(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 3000);
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK)
        ADD_FAILURE() << "SQL failed: " << (msg ? msg : "") << "\n" << sql.toStdString();
    sqlite3_free(msg);
    sqlite3_close(db);
}

QVariant sqliteValue(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    QVariant out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 3000);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW) {
            switch (sqlite3_column_type(st, 0)) {
            case SQLITE_INTEGER: out = qint64(sqlite3_column_int64(st, 0)); break;
            case SQLITE_FLOAT: out = sqlite3_column_double(st, 0); break;
            case SQLITE_NULL: out = QVariant(QMetaType(QMetaType::QString)); break;
            default: out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            }
        } else {
            ADD_FAILURE() << "query failed: " << sqlite3_errmsg(db) << "\n" << sql.toStdString();
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

QStringList sqliteDump(const QString& path)
{
    QStringList righe;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        sqlite3_close(db);
        return righe;
    }
    sqlite3_busy_timeout(db, 3000);
    QStringList tabelle;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'", -1, &st,
                       nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        tabelle << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    for (const QString& t : tabelle) {
        const QString sql = QStringLiteral("SELECT * FROM \"%1\"").arg(t);
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            QString r = t;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const char* v = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                r += QStringLiteral("|%1:%2").arg(sqlite3_column_type(st, i)).arg(v ? QString::fromUtf8(v) : QString());
            }
            righe << r;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    righe.sort();
    return righe;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

}  // namespace testsupport
