#include "solo_lettura.h"

#include "importazione.h"
#include "pulizia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <vector>

namespace corvale::access {

namespace {

struct Vista {
    dbe::WeakDatabase db;
    QString temporaneo;
    QString origine;
    std::shared_ptr<FileProvvisorio> elenco;  // removed also on an interruption
};

void rimuovi(const QString& file)
{
    for (const char* suffisso : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + QLatin1String(suffisso));
}

// The temporary archives made so far; each removed once its database is closed.
class Viste {
public:
    ~Viste()
    {
        for (const Vista& v : viste_)
            rimuovi(v.temporaneo);
    }
    void aggiungi(const dbe::Database& db, const QString& temporaneo, const QString& origine,
                  std::shared_ptr<FileProvvisorio> elenco)
    {
        viste_.push_back({dbe::WeakDatabase(db), temporaneo, origine, std::move(elenco)});
    }
    void pulisci()
    {
        for (auto it = viste_.begin(); it != viste_.end();) {
            const dbe::Database db = it->db.Lock();
            if (!db.isNull() && db.IsOpen()) {
                ++it;
                continue;
            }
            rimuovi(it->temporaneo);
            it = viste_.erase(it);
        }
    }
    const Vista* trova(const dbe::Database& db) const
    {
        for (const Vista& v : viste_)
            if (v.db.Refers(db))
                return &v;
        return nullptr;
    }

private:
    std::vector<Vista> viste_;
};

Viste& viste()
{
    static Viste v;
    return v;
}

}  // namespace

dbe::Database ApriDatabase(const QString& path, bool readOnly)
{
    viste().pulisci();
    // The engine first: it refuses a file that is not its own (3343) before any connection to it
    // exists, and only then are the file's first bytes read, so that no other descriptor is ever
    // opened on an archive of this format that may be open.
    try {
        return dbe::OpenDatabase(path, readOnly);
    } catch (const dbe::DbError& e) {
        if (e.number() != dbe::err::UnrecognizedFormat || !SembraFileAccess(path))
            throw;
    }
    const QString temporaneo =
        QDir::temp().filePath(QStringLiteral("corvale-access-%1.db").arg(QUuid::createUuid().toString(QUuid::Id128)));
    auto elenco = std::make_shared<FileProvvisorio>(temporaneo);
    ImportaAccess(path, temporaneo);
    try {
        dbe::Database db = dbe::OpenDatabase(temporaneo);
        viste().aggiungi(db, temporaneo, QFileInfo(path).absoluteFilePath(), std::move(elenco));
        return db;
    } catch (...) {
        rimuovi(temporaneo);
        throw;
    }
}

bool AccessInSolaLettura(const dbe::Database& db) { return viste().trova(db) != nullptr; }

QString OrigineAccess(const dbe::Database& db)
{
    const Vista* v = viste().trova(db);
    return v ? v->origine : QString();
}

QString FileAperto(const dbe::Database& db)
{
    const QString origine = OrigineAccess(db);
    return origine.isEmpty() ? db.Name() : origine;
}

namespace {

QString solaLettura(const QString& origine)
{
    return QStringLiteral("L'archivio '%1' è un file Access aperto in sola lettura: nessuna modifica è "
                          "possibile. Per correggerlo, convertirlo prima nel formato di Corvale con il "
                          "comando:\ncorvale-cli importa \"%1\" NUOVO_ARCHIVIO")
        .arg(QDir::toNativeSeparators(origine));
}

}  // namespace

QString MessaggioSolaLettura(const dbe::Database& db) { return solaLettura(OrigineAccess(db)); }

QString RifiutoArchivioAccess(const QString& path, const dbe::DbError& e)
{
    if (e.number() != dbe::err::UnrecognizedFormat || !SembraFileAccess(path))
        return QString();
    return solaLettura(QFileInfo(path).absoluteFilePath());
}

}  // namespace corvale::access
