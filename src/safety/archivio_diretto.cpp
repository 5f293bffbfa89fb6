#include "archivio_diretto.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace corvale {

QString NomeSqlite(const QString& nome)
{
    QString n = nome;
    return QLatin1Char('"') + n.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

ArchivioDiretto::ArchivioDiretto(const QString& file, bool scrittura, int attesaMs)
{
    const QString uri =
        QStringLiteral("file:") + QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(file).absoluteFilePath(), "/"));
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(uri.toUtf8().constData(), &db,
                                   (scrittura ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_URI
                                       | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        errore_ = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        codice_ = rc & 0xff;
        sqlite3_close(db);
        return;
    }
    db_ = db;
    sqlite3_busy_timeout(db_, attesaMs);
}

ArchivioDiretto::~ArchivioDiretto() { sqlite3_close_v2(db_); }

bool ArchivioDiretto::esegui(const QString& sql)
{
    if (!db_)
        return false;
    char* msg = nullptr;
    codice_ = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &msg) & 0xff;
    if (codice_ != SQLITE_OK)
        errore_ = msg ? QString::fromUtf8(msg) : QString::fromUtf8(sqlite3_errstr(codice_));
    sqlite3_free(msg);
    return codice_ == SQLITE_OK;
}

std::optional<QVector<QVariantList>> ArchivioDiretto::righe(const QString& sql, const QVariantList& parametri)
{
    if (!db_)
        return std::nullopt;
    sqlite3_stmt* st = nullptr;
    codice_ = sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) & 0xff;
    if (codice_ != SQLITE_OK) {
        errore_ = QString::fromUtf8(sqlite3_errmsg(db_));
        return std::nullopt;
    }
    for (int i = 0; i < parametri.size(); ++i) {
        const QVariant& p = parametri[i];
        if (p.typeId() == QMetaType::QString) {
            const QByteArray b = p.toString().toUtf8();
            sqlite3_bind_text(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else if (p.typeId() == QMetaType::QByteArray) {
            const QByteArray b = p.toByteArray();
            sqlite3_bind_blob(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else if (p.isNull()) {
            sqlite3_bind_null(st, i + 1);
        } else {
            sqlite3_bind_int64(st, i + 1, p.toLongLong());
        }
    }
    QVector<QVariantList> out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QVariantList r;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: r << QVariant(qint64(sqlite3_column_int64(st, c))); break;
            case SQLITE_FLOAT: r << QVariant(sqlite3_column_double(st, c)); break;
            case SQLITE_TEXT:
                // The bytes as stored: a text that is not UTF-8 stays recognisable as such.
                r << QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                sqlite3_column_bytes(st, c)));
                break;
            case SQLITE_BLOB:
                r << QVariant(
                    QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c)));
                break;
            default: r << QVariant(); break;
            }
        }
        out << r;
    }
    codice_ = rc & 0xff;
    if (rc != SQLITE_DONE)
        errore_ = QString::fromUtf8(sqlite3_errmsg(db_));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return out;
}

std::optional<QVariant> ArchivioDiretto::valore(const QString& sql, const QVariantList& parametri)
{
    const auto r = righe(sql, parametri);
    if (!r || r->isEmpty() || r->first().isEmpty())
        return std::nullopt;
    return r->first().first();
}

std::optional<QStringList> ArchivioDiretto::tabelle()
{
    const auto r = righe(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                        "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    if (!r)
        return std::nullopt;
    QStringList l;
    for (const QVariantList& riga : *r)
        l << riga.value(0).toString();
    return l;
}

}  // namespace corvale
