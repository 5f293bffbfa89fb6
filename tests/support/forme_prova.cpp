#include "forme_prova.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvale::prova {

namespace {

// corvale-forme is built beside corvale-cli: build/bench/ next to build/src/.
QString ProgrammaForme()
{
    QDir build = QFileInfo(QStringLiteral(CORVALE_CLI_PATH)).dir();
    build.cdUp();
    return build.filePath(QStringLiteral("bench/corvale-forme"));
}

QString Comparabile(const QString& v)
{
    QString r;
    for (const QChar c : v) {
        if (c.unicode() < 0x80)
            r += c.toLower();
    }
    return r;
}

// The tasks of one outcome of check by key: their description, and their state and detail.
using Compiti = QMap<QString, QPair<QString, QString>>;

Compiti CompitiTesto(const QString& uscita)
{
    Compiti r;
    for (const QString& riga : uscita.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList campi = riga.split(QLatin1Char('\t'));
        if (campi.size() >= 4)
            r.insert(campi[0], {campi[1], campi.mid(2).join(QLatin1String(": "))});
    }
    return r;
}

Compiti CompitiJson(const QString& uscita)
{
    Compiti r;
    const QJsonArray compiti =
        QJsonDocument::fromJson(uscita.toUtf8()).object().value(QLatin1String("tasks")).toArray();
    for (const QJsonValue& c : compiti) {
        QJsonObject o = c.toObject();
        const QString chiave = o.take(QLatin1String("key")).toString();
        const QString descrizione = o.take(QLatin1String("description")).toString();
        r.insert(chiave, {descrizione, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact))});
    }
    return r;
}

QStringList Differenze(const Compiti& attesa, const Compiti& ottenuta)
{
    QStringList r;
    if (attesa.isEmpty() || ottenuta.isEmpty())
        r << QStringLiteral("nessun controllo letto");
    QSet<QString> chiavi(attesa.keyBegin(), attesa.keyEnd());
    chiavi.unite(QSet<QString>(ottenuta.keyBegin(), ottenuta.keyEnd()));
    QStringList ordinate(chiavi.begin(), chiavi.end());
    ordinate.sort();
    for (const QString& k : ordinate) {
        const auto a = attesa.value(k), o = ottenuta.value(k);
        if (a != o)
            r << QStringLiteral("%1 %2: %3 -> %4").arg(k, a.first.isEmpty() ? o.first : a.first, a.second, o.second);
    }
    return r;
}

}  // namespace

QMap<QString, long> RiscriviForme(const QString& archivio, quint64 seme, const QStringList& forme, bool ore)
{
    QStringList argomenti{archivio, QString::number(seme)};
    if (!forme.isEmpty())
        argomenti << QStringLiteral("--forme") << forme.join(QLatin1Char(','));
    if (ore)
        argomenti << QStringLiteral("--ore");
    QProcess p;
    p.start(ProgrammaForme(), argomenti);
    p.waitForFinished(600000);
    QMap<QString, long> conteggi;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << ProgrammaForme().toStdString() << " " << argomenti.join(QLatin1Char(' ')).toStdString() << ": "
                      << p.readAllStandardError().toStdString() << p.errorString().toStdString();
        return conteggi;
    }
    for (const QString& riga :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parti = riga.split(QLatin1Char(' '));
        if (parti.size() == 2)
            conteggi.insert(parti[0], parti[1].toLong());
    }
    return conteggi;
}

Contenuto LeggiContenuto(const QString& archivio)
{
    Contenuto c;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(archivio.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << archivio.toStdString();
        sqlite3_close(db);
        return c;
    }
    sqlite3_busy_timeout(db, 3000);
    QStringList tabelle;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                       "AND name NOT LIKE 'MSys%'",
                       -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        tabelle << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    for (const QString& t : tabelle) {
        sqlite3_prepare_v2(db, QStringLiteral("SELECT rowid, * FROM \"%1\"").arg(t).toUtf8().constData(), -1, &st,
                           nullptr);
        for (int i = 1; st && i < sqlite3_column_count(st); ++i)
            c.colonne[t] << QString::fromUtf8(sqlite3_column_name(st, i));
        auto& righe = c.righe[t];
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            QStringList valori;
            for (int i = 1; i < sqlite3_column_count(st); ++i) {
                const char* v = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                valori << (v ? QString::fromUtf8(v) : QStringLiteral("<Null>"));
            }
            righe.insert(sqlite3_column_int64(st, 0), valori);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return c;
}

QStringList Cambiamenti(const Contenuto& prima, const Contenuto& dopo)
{
    QStringList r;
    for (auto t = prima.righe.cbegin(); t != prima.righe.cend(); ++t) {
        const auto& righeDopo = dopo.righe.value(t.key());
        const QStringList colonne = prima.colonne.value(t.key());
        for (auto riga = t.value().cbegin(); riga != t.value().cend(); ++riga) {
            if (!righeDopo.contains(riga.key())) {
                r << QStringLiteral("%1 -%2").arg(t.key()).arg(riga.key());
                continue;
            }
            const QStringList nuovi = righeDopo.value(riga.key());
            for (int i = 0; i < colonne.size() && i < nuovi.size(); ++i) {
                if (nuovi[i] != riga.value().value(i))
                    r << QStringLiteral("%1 %2 %3=%4")
                             .arg(t.key())
                             .arg(riga.key())
                             .arg(colonne[i], Comparabile(nuovi[i]));
            }
        }
        for (auto riga = righeDopo.cbegin(); riga != righeDopo.cend(); ++riga) {
            if (!t.value().contains(riga.key()))
                r << QStringLiteral("%1 +%2").arg(t.key()).arg(riga.key());
        }
    }
    r.sort();
    return r;
}

QStringList DifferenzeControllo(const QString& attesa, const QString& ottenuta)
{
    return Differenze(CompitiTesto(attesa), CompitiTesto(ottenuta));
}

QStringList DifferenzeControlloJson(const QString& attesa, const QString& ottenuta)
{
    return Differenze(CompitiJson(attesa), CompitiJson(ottenuta));
}

QStringList DifferenzeElenchi(const QStringList& attese, const QStringList& ottenute, int massimo)
{
    const QSet<QString> a(attese.begin(), attese.end()), o(ottenute.begin(), ottenute.end());
    QStringList r;
    for (const QString& x : attese) {
        if (!o.contains(x))
            r << QStringLiteral("manca %1").arg(x);
    }
    for (const QString& x : ottenute) {
        if (!a.contains(x))
            r << QStringLiteral("in piu' %1").arg(x);
    }
    if (r.size() > massimo) {
        const qsizetype altre = r.size() - massimo;
        r = r.mid(0, massimo);
        r << QStringLiteral("... e altre %1").arg(altre);
    }
    return r;
}

QString CopiaArchivio(const QString& archivio, const QString& cartella)
{
    const QString destinazione = QDir(cartella).filePath(QStringLiteral("archivi/lumera.mdb"));
    QDir().mkpath(QFileInfo(destinazione).path());
    QFile::remove(destinazione);
    EXPECT_TRUE(QFile::copy(archivio, destinazione)) << archivio.toStdString();
    if (QFile::exists(archivio + QStringLiteral("-wal")))
        QFile::copy(archivio + QStringLiteral("-wal"), destinazione + QStringLiteral("-wal"));
    return destinazione;
}

}  // namespace corvale::prova
