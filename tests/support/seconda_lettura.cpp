#include "seconda_lettura.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>

namespace testsupport {

QString CartellaCampioniAccess()
{
    QStringList candidati;
    const QString env = qEnvironmentVariable("CORVALE_JET_SAMPLES");
    if (!env.isEmpty())
        candidati << env;
    candidati << QStringLiteral(CORVALE_SOURCE_DIR "/../shared/jet-samples")
              << QStringLiteral(CORVALE_SOURCE_DIR "/../../shared/jet-samples");
    for (const QString& c : candidati)
        if (QFileInfo::exists(c + QStringLiteral("/nwind.mdb")))
            return QDir(c).absolutePath();
    return {};
}

QStringList CampioniAccess()
{
    const QString cartella = CartellaCampioniAccess();
    if (cartella.isEmpty())
        return {};
    QStringList file;
    for (const QString& n : QDir(cartella).entryList({"*.mdb", "*.accdb"}, QDir::Files, QDir::Name))
        file << cartella + QLatin1Char('/') + n;
    return file;
}

QString Mdb(const QString& comando, const QStringList& argomenti)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(comando, argomenti);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList MdbTabelle(const QString& file)
{
    return Mdb(QStringLiteral("mdb-tables"), {"-1", file}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

qint64 MdbConta(const QString& file, const QString& tabella)
{
    return Mdb(QStringLiteral("mdb-count"), {file, tabella}).trimmed().toLongLong();
}

QVector<QStringList> MdbEsporta(const QString& file, const QString& tabella)
{
    const QString data = QStringLiteral("%Y-%m-%d %H:%M:%S");
    const QString testo = Mdb(QStringLiteral("mdb-export"), {"-H", "-Q", "-d", "\x1f", "-R", "\x1e", "-0", kNullMdb,
                                                             "-b", "hex", "-D", data, "-T", data, file, tabella});
    QVector<QStringList> record;
    for (const QString& riga : testo.split(QLatin1Char('\x1e'), Qt::SkipEmptyParts))
        record.append(riga.split(QLatin1Char('\x1f')));
    return record;
}

QVector<QPair<QString, QString>> MdbCampi(const QString& file, const QString& tabella)
{
    const QString schema = Mdb(QStringLiteral("mdb-schema"), {"-T", tabella, "--not-null", file});
    static const QRegularExpression riga(QStringLiteral("^\\s*\\[([^\\]]+)\\]\\s+(.*?),?\\s*$"));
    QVector<QPair<QString, QString>> campi;
    for (const QString& r : schema.split(QLatin1Char('\n'))) {
        const auto m = riga.match(r);
        if (m.hasMatch() && !r.contains(QLatin1String("CREATE TABLE")))
            campi.append({m.captured(1), m.captured(2)});
    }
    return campi;
}

QStringList MdbIndici(const QString& file, const QString& tabella)
{
    const QString schema =
        Mdb(QStringLiteral("mdb-schema"), {"-T", tabella, "--indexes", "--no-relations", file, "postgres"});
    static const QRegularExpression indice(QStringLiteral("^CREATE (UNIQUE )?INDEX .* ON .* \\((.*)\\);"));
    static const QRegularExpression primario(QStringLiteral("PRIMARY KEY \\((.*)\\);"));
    QStringList indici;
    for (const QString& r : schema.split(QLatin1Char('\n'))) {
        auto m = indice.match(r);
        QString tipo, campi;
        if (m.hasMatch()) {
            tipo = m.captured(1).isEmpty() ? QStringLiteral("INDEX") : QStringLiteral("UNIQUE");
            campi = m.captured(2);
        } else if ((m = primario.match(r)).hasMatch()) {
            tipo = QStringLiteral("PRIMARY");
            campi = m.captured(1);
        } else {
            continue;
        }
        campi.remove(QLatin1Char('"')).remove(QLatin1Char(' '));
        indici << tipo + QLatin1Char(' ') + campi.toLower();
    }
    std::sort(indici.begin(), indici.end());
    return indici;
}

QMap<QString, QString> MdbProprieta(const QString& file, const QString& tabella)
{
    const QString testo = Mdb(QStringLiteral("mdb-prop"), {file, tabella});
    QMap<QString, QString> proprieta;
    const QStringList blocchi = testo.split(QStringLiteral("\n\n"));
    if (blocchi.isEmpty() || !blocchi[0].startsWith(QLatin1String("name: (none)")))
        return proprieta;
    for (const QString& r : blocchi[0].split(QLatin1Char('\n'))) {
        if (!r.startsWith(QLatin1Char('\t')))
            continue;
        const int due = r.indexOf(QStringLiteral(": "));
        proprieta.insert(r.mid(1, due - 1), r.mid(due + 2));
    }
    return proprieta;
}

}  // namespace testsupport
