#include "copia_sicurezza.h"

#include "archivio_diretto.h"
#include "integrita.h"
#include "sessione_sicurezza.h"

#include "core/avvio.h"
#include "core/ini.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <sys/stat.h>

namespace corvale {

namespace {

QString Mega(qint64 byte) { return QString::number(double(byte) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB"); }

// The day a copy was made: from its name ("lumera-20240315-143012.mdb"), else its file's time.
QDate GiornoCopia(const QString& copia)
{
    static const QRegularExpression nome(QStringLiteral("-(\\d{8})-\\d{6}(-\\d+)?$"));
    const QRegularExpressionMatch m = nome.match(QFileInfo(copia).completeBaseName());
    const QDate d = m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")) : QDate();
    return d.isValid() ? d : QFileInfo(copia).lastModified().date();
}

// Same device and inode (a second name of the same file); false when either is missing.
bool StessoFile(const QString& a, const QString& b)
{
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

QString ImprontaContenuto(const QString& archivio)
{
    struct stat a {
    }, log{};
    if (::stat(QFile::encodeName(archivio).constData(), &a) != 0)
        return QString();
    if (::stat(QFile::encodeName(archivio + QStringLiteral("-wal")).constData(), &log) == 0 && log.st_size > 0)
        return QString();
    return QStringLiteral("%1:%2:%3:%4.%5")
        .arg(quint64(a.st_dev))
        .arg(quint64(a.st_ino))
        .arg(qint64(a.st_size))
        .arg(qint64(a.st_mtim.tv_sec))
        .arg(qint64(a.st_mtim.tv_nsec), 9, 10, QLatin1Char('0'));
}

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

namespace {

// What is settled before a copy is written: the copy already made of this state, or the name the
// new one takes and the file's stamp before it.
struct Preparazione {
    bool ok = false;
    QString gia;  // a listed copy that holds this very state
    QString base;  // the new copy's path without ".mdb"
    QString impronta;  // ImprontaContenuto before the copy
};

Preparazione PreparaCopia(const Sessione& s, Registro& reg, QString& errore)
{
    Preparazione p;
    const dbe::Database& db = s.DbArchivi;
    const QString archivio = db.Name();
    const QString cartella = CartellaCopie(archivio);
    if (!QDir().mkpath(cartella)) {
        errore = QStringLiteral("Impossibile creare la cartella delle copie di sicurezza %1.")
                     .arg(QDir::toNativeSeparators(cartella));
        return p;
    }
    // A copy cut short by a crash is left under its provisional name: never a copy, so removed once
    // it has not been written for an hour (a copy being written by another program is younger).
    const QDateTime vecchio = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& f : QDir(cartella).entryInfoList({QStringLiteral("*.parziale")}, QDir::Files))
        if (f.lastModified() < vecchio)
            QFile::remove(f.absoluteFilePath());
    // The archive unchanged since a copy was made of it (an undo that put nothing back, a restore
    // that failed, a command run again): that copy already holds this state, and another one would
    // only push older copies out.
    p.impronta = ImprontaContenuto(archivio);
    if (const QString gia = reg.CopiaConImpronta(p.impronta); !gia.isEmpty()) {
        p.gia = gia;
        p.ok = true;
        return p;
    }
    qint64 byte = 0;
    try {
        byte = dbe::DatabaseBytes(db);
    } catch (const dbe::DbError& e) {
        // Every engine error: without the archive's size no room can be promised, so no copy is
        // made and the operator reads why.
        errore = e.description();
        return p;
    }
    // Room for the copy and a margin for the file system.
    const qint64 libero = SpazioLibero(s, cartella);
    const qint64 serve = byte + byte / 20 + 1024 * 1024;
    if (libero >= 0 && libero < serve) {
        errore = QStringLiteral("Spazio su disco insufficiente per la copia di sicurezza in %1: servono %2, "
                                "liberi %3.")
                     .arg(QDir::toNativeSeparators(cartella), Mega(serve), Mega(libero));
        return p;
    }
    p.base = QDir(cartella).filePath(QFileInfo(archivio).completeBaseName() + QLatin1Char('-')
                                     + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    p.ok = true;
    return p;
}

// Writes the copy under the first free name after p.base; its path, or empty with the reason.
// `diretta` says whether it was made from the file's bytes. Touches nothing but the archive's
// connection and the copies' folder, so it may run beside the check.
QString ScriviFileCopia(const dbe::Database& db, const Preparazione& p, bool& diretta, QString& errore,
                        const dbe::Progress& avanzamento)
{
    // The first free name: another program may take the same name meanwhile, and the copy then
    // goes under the next one.
    for (int i = 1;; ++i) {
        const QString file = i == 1 ? p.base + QStringLiteral(".mdb") : QStringLiteral("%1-%2.mdb").arg(p.base).arg(i);
        if (QFileInfo::exists(file))
            continue;
        try {
            diretta = dbe::BackupTo(db, file, avanzamento);
            return file;
        } catch (const dbe::DbError& e) {
            if (e.number() == dbe::err::TableExists && i < 100)
                continue;
            errore = QStringLiteral("Impossibile scrivere la copia di sicurezza %1.\r%2")
                         .arg(QDir::toNativeSeparators(file), e.description());
            return QString();
        }
    }
}

// The copy written becomes one of the archive's copies: listed, with its stamp when the file did not
// change while it was made, and the retention applied.
void ConcludiCopia(Registro& reg, const QString& archivio, const QString& file, const QString& impronta, int conserva,
                   const QString& daTenere)
{
    reg.AggiungiCopia(file, QFileInfo(file).size());
    // The copy is the file's content under this stamp only when nothing changed the file while it
    // was made (the copy empties the log first; a stamp taken before that, with pages in the log,
    // says nothing).
    if (const QString dopo = ImprontaContenuto(archivio); !dopo.isEmpty() && dopo == impronta)
        reg.SegnaImpronta(file, dopo);
    ApplicaConservazione(reg, conserva, daTenere);
}

}  // namespace

QString ScriviCopiaSicurezza(const Sessione& s, Registro& reg, int conserva, QString& errore,
                             const dbe::Progress& avanzamento, const QString& daTenere)
{
    const Preparazione p = PreparaCopia(s, reg, errore);
    if (!p.ok || !p.gia.isEmpty())
        return p.gia;
    bool diretta = false;
    const QString file = ScriviFileCopia(s.DbArchivi, p, diretta, errore, avanzamento);
    if (!file.isEmpty())
        ConcludiCopia(reg, s.DbArchivi.Name(), file, p.impronta, conserva, daTenere);
    return file;
}

VerificaConCopia VerificaECopia(const Sessione& s, Registro& reg, int conserva, const QStringList& tabelle,
                                const dbe::Progress& avanzamento)
{
    VerificaConCopia esito;
    const dbe::Database& db = s.DbArchivi;
    const QString archivio = db.Name();
    const Preparazione p = PreparaCopia(s, reg, esito.errore);
    if (!p.ok || !p.gia.isEmpty()) {
        // No copy to write (none can be, or one holds this state already): the check alone.
        esito.problemi = ProblemiIntegritaTabelle(archivio, tabelle, avanzamento);
        if (esito.problemi.isEmpty())
            esito.copia = p.gia;
        return esito;
    }
    // The log emptied into the file first, so that the check and the copy both read the file alone.
    try {
        dbe::EmptyLog(db);
    } catch (const dbe::DbError&) {
        // Swallowed: emptying the log only spares the reads below; an archive that cannot be reached
        // here fails again in the check and the copy, which report it.
    }
    bool soloFile = false, diretta = false;
    QString file, erroreCopia;
    esito.problemi = ProblemiIntegritaTabelle(archivio, tabelle, avanzamento, [&](bool solo) {
        soloFile = solo;
        file = ScriviFileCopia(db, p, diretta, erroreCopia, {});
    });
    if (!file.isEmpty() && !(soloFile && diretta)) {
        // Another program wrote meanwhile, and the copy may hold a later state than the one
        // checked: the copy itself is checked, so that what is kept is what was found sound.
        esito.problemi = ProblemiIntegritaTabelle(file, tabelle, avanzamento);
    }
    if (!esito.problemi.isEmpty()) {
        // A damaged state is not kept as a copy here (the repair makes its own).
        if (!file.isEmpty())
            QFile::remove(file);
        return esito;
    }
    if (file.isEmpty()) {
        esito.errore = erroreCopia;
        return esito;
    }
    ConcludiCopia(reg, archivio, file, p.impronta, conserva, QString());
    esito.copia = file;
    return esito;
}

void ApplicaConservazione(Registro& reg, int conserva, const QString& serve)
{
    if (conserva <= 0)
        return;
    const QStringList copie = reg.Copie();  // oldest first
    QSet<QString> tenute;
    for (int i = qMax(0, int(copie.size()) - conserva); i < copie.size(); ++i)
        tenute.insert(copie[i]);
    // The first copy of each day, for the last `conserva` days with copies: the state before the
    // day's first change stays while the day's later copies come and go.
    QList<QDate> giorni;
    QHash<QDate, QString> prima;
    for (const QString& c : copie) {
        const QDate g = GiornoCopia(c);
        if (!prima.contains(g)) {
            prima.insert(g, c);
            giorni << g;
        }
    }
    std::sort(giorni.begin(), giorni.end());
    for (int i = qMax(0, int(giorni.size()) - conserva); i < giorni.size(); ++i)
        tenute.insert(prima.value(giorni[i]));
    const QString usata = serve.isEmpty() ? QString() : QFileInfo(serve).absoluteFilePath();
    for (const QString& c : copie) {
        if (tenute.contains(c) || c == usata || (!usata.isEmpty() && StessoFile(c, usata)))
            continue;
        if (!QFileInfo::exists(c) || QFile::remove(c))
            reg.TogliCopia(c);
    }
}

QString PerchéNonCopia(const dbe::Database& db, Registro& reg, const QString& file)
{
    const QFileInfo fi(file);
    const QString nome = QDir::toNativeSeparators(fi.absoluteFilePath());
    const QString archivio = QFileInfo(db.Name()).absoluteFilePath();
    if (!fi.isFile())
        return QStringLiteral("Copia di sicurezza non trovata: %1").arg(nome);
    for (const QString& suffisso :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (fi.absoluteFilePath() == archivio + suffisso || StessoFile(fi.absoluteFilePath(), archivio + suffisso))
            return suffisso.isEmpty()
                       ? QStringLiteral("La copia indicata è l'archivio stesso.")
                       : QStringLiteral("Il file %1 è un file di lavoro dell'archivio, non una copia.").arg(nome);
    }
    if (fi.size() == 0)
        return QStringLiteral("Il file %1 è vuoto: non è una copia dell'archivio.").arg(nome);
    ArchivioDiretto copia(fi.absoluteFilePath(), false);
    const std::optional<QStringList> sue = copia.ok() ? copia.tabelle() : std::nullopt;
    if (!sue)
        return QStringLiteral("Il file %1 non è un archivio leggibile: %2").arg(nome, copia.errore());
    if (reg.Copie().contains(fi.absoluteFilePath()))
        return QString();
    ArchivioDiretto questo(archivio, false, 3000);
    const std::optional<QStringList> nostre = questo.ok() ? questo.tabelle() : std::nullopt;
    if (!nostre)
        return QStringLiteral("Impossibile leggere le tabelle dell'archivio: %1").arg(questo.errore());
    QStringList mancano, inPiu;
    const auto minuscole = [](const QStringList& l) {
        QStringList m;
        for (const QString& t : l)
            m << t.toLower();
        return m;
    };
    const QStringList a = minuscole(*nostre), c = minuscole(*sue);
    for (const QString& t : *nostre)
        if (!c.contains(t.toLower()))
            mancano << t;
    for (const QString& t : *sue)
        if (!a.contains(t.toLower()))
            inPiu << t;
    if (mancano.isEmpty() && inPiu.isEmpty())
        return QString();
    QStringList perche;
    if (!mancano.isEmpty())
        perche << QStringLiteral("non ha %1").arg(mancano.join(QStringLiteral(", ")));
    if (!inPiu.isEmpty())
        perche << QStringLiteral("ha in più %1").arg(inPiu.join(QStringLiteral(", ")));
    return QStringLiteral("Il file %1 non è una copia di questo archivio: le sue tabelle non sono quelle "
                          "dell'archivio (%2).")
        .arg(nome, perche.join(QStringLiteral("; ")));
}

int CopieDaConservare(const Sessione& s)
{
    const QString v = LeggiFileIni(FileImpostazioni(s.CartellaProgramma()), u"Sicurezza", u"CopieConservate").trimmed();
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok && n >= 0 ? n : 10;
}

}  // namespace corvale
