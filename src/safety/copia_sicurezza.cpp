#include "copia_sicurezza.h"

#include "sessione_sicurezza.h"

#include "core/avvio.h"
#include "core/ini.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace corvale {

namespace {

QString Mega(qint64 byte) { return QString::number(double(byte) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB"); }

}  // namespace

QString CartellaCopie(const QString& archivio)
{
    return QFileInfo(archivio).absoluteDir().filePath(QStringLiteral("copie"));
}

qint64 SpazioLibero(const Sessione& s, const QString& cartella)
{
    if (Sicurezza(s).spazioLibero)
        return Sicurezza(s).spazioLibero(cartella);
    QStorageInfo info(cartella);
    info.refresh();
    return info.isValid() ? info.bytesAvailable() : -1;
}

QString ScriviCopiaSicurezza(const Sessione& s, Registro& reg, int conserva, QString& errore,
                             const dbe::Progress& avanzamento)
{
    const dbe::Database& db = s.DbArchivi;
    const QString archivio = db.Name();
    const QString cartella = CartellaCopie(archivio);
    if (!QDir().mkpath(cartella)) {
        errore = QStringLiteral("Impossibile creare la cartella delle copie di sicurezza %1.")
                     .arg(QDir::toNativeSeparators(cartella));
        return QString();
    }
    // A copy cut short by a crash is left under its provisional name: never a copy, so removed once
    // it has not been written for an hour (a copy being written by another program is younger).
    const QDateTime vecchio = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& f : QDir(cartella).entryInfoList({QStringLiteral("*.parziale")}, QDir::Files))
        if (f.lastModified() < vecchio)
            QFile::remove(f.absoluteFilePath());
    qint64 byte = 0;
    try {
        byte = dbe::DatabaseBytes(db);
    } catch (const dbe::DbError& e) {
        errore = e.description();
        return QString();
    }
    // Room for the copy and a margin for the file system.
    const qint64 libero = SpazioLibero(s, cartella);
    const qint64 serve = byte + byte / 20 + 1024 * 1024;
    if (libero >= 0 && libero < serve) {
        errore = QStringLiteral("Spazio su disco insufficiente per la copia di sicurezza in %1: servono %2, "
                                "liberi %3.")
                     .arg(QDir::toNativeSeparators(cartella), Mega(serve), Mega(libero));
        return QString();
    }
    const QString base = QFileInfo(archivio).completeBaseName() + QLatin1Char('-')
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // The first free name: another program may take the same name meanwhile, and the copy then
    // goes under the next one.
    QString file;
    for (int i = 1;; ++i) {
        file = QDir(cartella).filePath(i == 1 ? base + QStringLiteral(".mdb") : QStringLiteral("%1-%2.mdb").arg(base).arg(i));
        if (QFileInfo::exists(file))
            continue;
        try {
            dbe::BackupTo(db, file, avanzamento);
            break;
        } catch (const dbe::DbError& e) {
            if (e.number() == dbe::err::TableExists && i < 100)
                continue;
            errore = QStringLiteral("Impossibile scrivere la copia di sicurezza %1.\r%2")
                         .arg(QDir::toNativeSeparators(file), e.description());
            return QString();
        }
    }
    reg.AggiungiCopia(file, QFileInfo(file).size());
    if (conserva > 0) {
        QStringList copie = reg.Copie();
        while (copie.size() > conserva) {
            const QString vecchia = copie.takeFirst();
            if (!QFileInfo::exists(vecchia) || QFile::remove(vecchia))
                reg.TogliCopia(vecchia);
        }
    }
    return file;
}

int CopieDaConservare(const Sessione& s)
{
    const QString v = LeggiFileIni(FileImpostazioni(s.CartellaProgramma()), u"Sicurezza", u"CopieConservate").trimmed();
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok && n >= 0 ? n : 10;
}

}  // namespace corvale
