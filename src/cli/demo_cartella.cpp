#include "demo_cartella.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvale::cli::demo {

// A database file and the engine's companion files next to it.
bool RimuoviDatabase(const QString& file)
{
    bool ok = true;
    for (const QString& f :
         {file, file + QStringLiteral("-wal"), file + QStringLiteral("-shm"), file + QStringLiteral("-journal")}) {
        if (QFileInfo::exists(f) && !QFile::remove(f))
            ok = false;
    }
    return ok;
}

CartellaDemo::CartellaDemo(const QString& percorso)
{
    cartella = QDir::cleanPath(QFileInfo(percorso).absoluteFilePath());
    const QDir d(cartella);
    ini = d.filePath(QStringLiteral("LUMERA.INI"));
    master = d.filePath(QStringLiteral("esempio.mdb"));
    archivi = d.filePath(QStringLiteral("archivi"));
    archivio = QDir(archivi).filePath(QStringLiteral("lumera.mdb"));
    archivioParziale = archivio + QStringLiteral(".parziale");
    righeParziali = archivio + QStringLiteral(".righe");
}

QString CartellaDemo::Prepara() const
{
    const QFileInfo info(cartella);
    if (info.exists() && !info.isDir())
        return QStringLiteral("%1 non è una cartella: il demo non viene scritto.").arg(cartella);
    if (info.exists()) {
        const bool vuota =
            QDir(cartella).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        const bool giaDemo = QFileInfo(ini).isFile() && QFileInfo(master).isFile();
        if (!vuota && !giaDemo)
            return QStringLiteral("La cartella %1 non è vuota e non contiene un demo (LUMERA.INI ed "
                                  "esempio.mdb): nulla è stato modificato. Indicare una cartella vuota "
                                  "o nuova.")
                .arg(cartella);
        const QFileInfo arch(archivi);
        if (arch.exists() && !arch.isDir())
            return QStringLiteral("%1 non è una cartella: il demo non viene scritto.").arg(archivi);
        if (giaDemo) {
            if (!RimuoviDatabase(master) || !RimuoviDatabase(archivio) || !RimuoviDatabase(archivioParziale)
                || !RimuoviDatabase(righeParziali) || !QFile::remove(ini))
                return QStringLiteral("Impossibile sostituire il demo in %1: file in uso o protetti.").arg(cartella);
        }
    }
    if (!QDir().mkpath(archivi))
        return QStringLiteral("Impossibile creare la cartella %1.").arg(archivi);
    return QString();
}

bool CartellaDemo::ScriviIni() const
{
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray testo = "[Path]\r\nArchivi=" + QDir::toNativeSeparators(archivi).toLocal8Bit() + "\r\n";
    return f.write(testo) == testo.size() && f.flush();
}

}  // namespace corvale::cli::demo
