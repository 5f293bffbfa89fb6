#include "copia_sicurezza.h"

#include "core/avvio.h"
#include "core/ini.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace corvale {

namespace {

MisuraSpazio& Misura()
{
    static MisuraSpazio m;
    return m;
}

QString Mega(qint64 byte) { return QString::number(double(byte) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB"); }

}  // namespace

QString CartellaCopie(const QString& archivio)
{
    return QFileInfo(archivio).absoluteDir().filePath(QStringLiteral("copie"));
}

void ImpostaMisuraSpazio(MisuraSpazio misura) { Misura() = std::move(misura); }

qint64 SpazioLibero(const QString& cartella)
{
    if (Misura())
        return Misura()(cartella);
    QStorageInfo s(cartella);
    s.refresh();
    return s.isValid() ? s.bytesAvailable() : -1;
}

QString ScriviCopiaSicurezza(const dbe::Database& db, Registro& reg, int conserva, QString& errore,
                             const dbe::Progress& avanzamento)
{
    const QString archivio = db.Name();
    const QString cartella = CartellaCopie(archivio);
    if (!QDir().mkpath(cartella)) {
        errore = QStringLiteral("Impossibile creare la cartella delle copie di sicurezza %1.")
                     .arg(QDir::toNativeSeparators(cartella));
        return QString();
    }
    // A copy cut short by a crash is left under its provisional name: never a copy, so removed.
    for (const QString& f : QDir(cartella).entryList({QStringLiteral("*.mdb.parziale")}, QDir::Files))
        QFile::remove(QDir(cartella).filePath(f));
    qint64 byte = 0;
    try {
        byte = dbe::DatabaseBytes(db);
    } catch (const dbe::DbError& e) {
        errore = e.description();
        return QString();
    }
    // Room for the copy and a margin for the file system.
    const qint64 libero = SpazioLibero(cartella);
    const qint64 serve = byte + byte / 20 + 1024 * 1024;
    if (libero >= 0 && libero < serve) {
        errore = QStringLiteral("Spazio su disco insufficiente per la copia di sicurezza in %1: servono %2, "
                                "liberi %3.")
                     .arg(QDir::toNativeSeparators(cartella), Mega(serve), Mega(libero));
        return QString();
    }
    const QString base = QFileInfo(archivio).completeBaseName() + QLatin1Char('-')
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString file = QDir(cartella).filePath(base + QStringLiteral(".mdb"));
    for (int i = 2; QFileInfo::exists(file); ++i)
        file = QDir(cartella).filePath(QStringLiteral("%1-%2.mdb").arg(base).arg(i));
    try {
        dbe::BackupTo(db, file, avanzamento);
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile scrivere la copia di sicurezza %1.\r%2")
                     .arg(QDir::toNativeSeparators(file), e.description());
        return QString();
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
