// Values no rule of their field's type reads, drawn by a seed and written by plain SQLite (as
// another program would) into the demo archive's date, number and yes/no fields, among values in
// readable forms other than the engine's. Every field a check reads must be named with exactly the
// number of such values written into it: by corvale-cli check (in the detail of each check that
// reads it, in the notice, in --json and in the report) and by the maintenance window's run. A field
// no check reads, and the readable forms, never.
#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "checks/valori_illeggibili.h"
#include "core/manutenzione.h"
#include "support/archivi_prova.h"
#include "support/forme_prova.h"
#include "support/pagina_html.h"
#include "support/processo_cli.h"
#include "support/sqlite_file.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;
using namespace corvale::prova;

namespace {

enum class Genere { Data, Numero, SiNo };

// The demo's fields of each kind: those the checks read (with the keys of the checks), and some
// no check reads.
struct CampoDemo {
    const char* tabella;
    const char* campo;
    Genere genere;
    QStringList chiavi;  // empty: no check reads it
};

const QList<CampoDemo>& CampiDemo()
{
    static const QList<CampoDemo> c{
        {"VENDITE", "DATA", Genere::Data, {"0034K", "0036K"}},
        {"DETT_ORD", "DATA", Genere::Data, {"0034K", "0036K"}},
        {"FATTURE", "DATA", Genere::Data, {"0035K", "0037K"}},
        {"DETT_FAT", "DATA", Genere::Data, {"0035K", "0037K"}},
        {"AGENDA", "GIORNO", Genere::Data, {"0041K"}},
        {"RISOLTI", "IDRIS", Genere::Numero, {"0045K"}},
        {"PAGAM_RISOLTI", "IDRIS", Genere::Numero, {"0045K"}},
        {"VENDITE", "CONSEGNA", Genere::Data, {}},
        {"DETT_ORD", "QTA", Genere::Numero, {}},
        {"FATTURE", "TOTALE", Genere::Numero, {}},
        {"FATTURE", "PAGATA", Genere::SiNo, {}},
    };
    return c;
}

QString testoSql(const QString& t)
{
    return QLatin1Char('\'') + QString(t).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QString parola(QRandomGenerator& g)
{
    QString s;
    for (int i = int(g.bounded(1, 8)); i > 0; --i)
        s += QChar(u'a' + g.bounded(26));
    return s;
}

QString due(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// An SQL literal of a value no rule of the kind reads, the k-th of its field (all differ, for the
// fields under a unique index). Dates include texts of the engine's own shape that name no day
// (month 13, 30 February, day 0), which only the reading can tell. A number with a decimal point
// is left out: SQLite stores it as a number in a number field.
QString illeggibile(Genere genere, QRandomGenerator& g, int k)
{
    const int anno = int(g.bounded(1990, 2030));
    switch (genere) {
    case Genere::Data:
        switch (g.bounded(6)) {
        case 0: return testoSql(parola(g) + QString::number(k));
        case 1: return testoSql(QStringLiteral("%1-%2-01 00:00:00").arg(anno).arg(13 + g.bounded(7)));
        case 2: return testoSql(QStringLiteral("%1-02-%2 10:00:00").arg(anno | 1).arg(30 + g.bounded(2)));
        case 3: return testoSql(QStringLiteral("%1-%2-00 00:00:00").arg(anno).arg(due(1 + g.bounded(12))));
        case 4: return QString::number(3000000 + g.bounded(100000));  // a day beyond year 9999
        default: return QStringLiteral("x'01%1'").arg(due(k));
        }
    case Genere::Numero:
        switch (g.bounded(4)) {
        case 0: return testoSql(parola(g) + QString::number(k));
        case 1: return testoSql(QStringLiteral("1,2,%1").arg(k));
        case 2: return testoSql(QStringLiteral("%1-").arg(k));
        default: return QStringLiteral("x'00%1'").arg(due(k));
        }
    case Genere::SiNo: return g.bounded(2) ? testoSql(parola(g) + QStringLiteral("x")) : QStringLiteral("x'01'");
    }
    return QString();
}

// An SQL literal of a value of the kind in a readable form that the engine does not write (a number
// far above the demo's, so that a unique index takes it).
QString leggibile(Genere genere, QRandomGenerator& g, int k)
{
    const QString giorno =
        QStringLiteral("%1-%2-%3").arg(g.bounded(1990, 2030)).arg(due(1 + g.bounded(12))).arg(due(1 + g.bounded(28)));
    switch (genere) {
    case Genere::Data:
        switch (g.bounded(6)) {
        case 0: return testoSql(giorno);
        case 1: return testoSql(giorno + QStringLiteral("T%1:30:00.123Z").arg(due(g.bounded(24))));
        case 2: return testoSql(QString(giorno).replace(QLatin1Char('-'), QLatin1Char('/')) + QStringLiteral(" 23:59"));
        case 3: return QString::number(30000 + g.bounded(20000));
        case 4: return QStringLiteral("%1.25").arg(30000 + g.bounded(20000));
        default: return testoSql(giorno + QStringLiteral(" 21:15:00"));
        }
    case Genere::Numero:
        return g.bounded(2) ? testoSql(QStringLiteral("9.000.%1,0").arg(100 + k)) : QString::number(8000000 + k);
    case Genere::SiNo: return g.bounded(2) ? testoSql(QStringLiteral("Vero")) : QStringLiteral("1");
    }
    return QString();
}

// Writes, on a seed, unreadable values into some records of a few of the demo's fields (at least
// one that a check reads) and readable ones into others; returns "TABELLA.CAMPO" -> how many
// unreadable values each field read by a check holds.
QMap<QString, qint64> Mescola(const QString& archivio, quint64 seme)
{
    QRandomGenerator g(quint32(seme * 7919 + 17));
    QMap<QString, qint64> attesi;
    QStringList sql{QStringLiteral("BEGIN")};
    const QList<CampoDemo>& campi = CampiDemo();
    for (int i = 0; i < campi.size(); ++i) {
        const CampoDemo& c = campi[i];
        if (i != int(seme % 7) && g.bounded(2) == 0)  // one of the read fields always, the others by chance
            continue;
        const qint64 righe =
            testsupport::sqliteValue(archivio, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(c.tabella)))
                .toLongLong();
        if (righe < 2)
            continue;
        QSet<qint64> usate;
        // One record at least, however few the table has (a range of one value is no range).
        const int n = int(g.bounded(1, int(qBound(qint64(2), righe / 2, qint64(7)))));
        for (int k = 0; k < 2 * n; ++k) {
            // The k-th record of a draw; the first n get unreadable values.
            qint64 r;
            do
                r = qint64(g.bounded(quint64(righe)));
            while (usate.contains(r));
            usate.insert(r);
            sql << QStringLiteral(
                       "UPDATE %1 SET %2 = %3 WHERE rowid = (SELECT rowid FROM %1 ORDER BY rowid LIMIT 1 OFFSET %4)")
                       .arg(QLatin1String(c.tabella), QLatin1String(c.campo),
                            k < n ? illeggibile(c.genere, g, k) : leggibile(c.genere, g, k))
                       .arg(r);
        }
        if (!c.chiavi.isEmpty())
            attesi[QStringLiteral("%1.%2").arg(QLatin1String(c.tabella), QLatin1String(c.campo))] = n;
    }
    testsupport::sqliteExec(archivio, (sql << QStringLiteral("COMMIT")).join(QStringLiteral(";\n")));
    return attesi;
}

QStringList ChiaviDi(const QString& campo)
{
    for (const CampoDemo& c : CampiDemo()) {
        if (campo == QStringLiteral("%1.%2").arg(QLatin1String(c.tabella), QLatin1String(c.campo)))
            return c.chiavi;
    }
    return {};
}

struct Demo {
    QTemporaryDir dir;
    QString home, archivio;
};

const Demo& LaDemo()
{
    static Demo* d = nullptr;
    if (!d) {
        d = new Demo;
        d->home = d->dir.filePath(QStringLiteral("home"));
        const EsitoCli e = EseguiCli({QStringLiteral("demo"), d->home});
        EXPECT_EQ(e.stato, 0) << e.err.toStdString();
        d->archivio = QDir(d->home).filePath(QStringLiteral("archivi/lumera.mdb"));
    }
    return *d;
}

// What one way of telling the operator said, against what was written: "TABELLA.CAMPO: n" per
// field, and the keys of the checks that named it.
void ConfrontaCampi(const char* dove, const QMap<QString, qint64>& attesi, const QMap<QString, qint64>& detti,
                    const QMap<QString, QStringList>& chiavi, quint64 seme)
{
    EXPECT_EQ(detti, attesi) << dove << ", seme " << seme;
    for (auto c = chiavi.cbegin(); c != chiavi.cend(); ++c)
        EXPECT_EQ(c.value(), ChiaviDi(c.key())) << dove << " " << c.key().toStdString() << ", seme " << seme;
}

// "VENDITE.DATA: 3 valori illeggibili (non sono date)" -> ("VENDITE.DATA", 3); false for other lines.
bool LeggiRiga(const QString& riga, QString* campo, qint64* n)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^([A-Z_]+\\.[A-Z_]+): (\\d+) valor[ei] illeggibil[ei] \\(non (sono|è) "
                                          "(date|una data|numeri|un numero|Sì/No)\\)$"))
            .match(riga.trimmed());
    if (!m.hasMatch())
        return false;
    *campo = m.captured(1);
    *n = m.captured(2).toLongLong();
    return true;
}

}  // namespace

TEST(ValoriIlleggibili, CheckNamesEachFieldReadWithHowManyValuesNoRuleReads)
{
    for (quint64 seme = 1; seme <= 3; ++seme) {
        QTemporaryDir cartella;
        const QString archivio = CopiaArchivio(LaDemo().archivio, cartella.path());
        const QMap<QString, qint64> attesi = Mescola(archivio, seme);
        ASSERT_FALSE(attesi.isEmpty());
        const QStringList base{QStringLiteral("check"), QStringLiteral("--home"), LaDemo().home,
                               QStringLiteral("--archive"), QFileInfo(archivio).path()};

        // --json: the list of fields, and each task's own.
        const QString rapporto = cartella.filePath(QStringLiteral("rapporto.html"));
        const EsitoCli json =
            EseguiCli(base + QStringList{QStringLiteral("--json"), QStringLiteral("--html"), rapporto});
        ASSERT_LE(json.stato, 1) << json.err.toStdString();
        const QJsonObject radice = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QMap<QString, qint64> detti;
        QMap<QString, QStringList> chiavi, chiaviTask;
        for (const QJsonValue v : radice.value(QStringLiteral("illeggibili")).toArray()) {
            const QJsonObject o = v.toObject();
            const QString campo =
                o[QStringLiteral("tabella")].toString() + QLatin1Char('.') + o[QStringLiteral("campo")].toString();
            detti[campo] = o[QStringLiteral("valori")].toInteger();
            for (const QJsonValue k : o[QStringLiteral("controlli")].toArray())
                chiavi[campo] << k.toString();
            QString c;
            qint64 n = 0;
            EXPECT_TRUE(LeggiRiga(o[QStringLiteral("testo")].toString(), &c, &n) && c == campo && n == detti[campo])
                << o[QStringLiteral("testo")].toString().toStdString();
        }
        ConfrontaCampi("check --json", attesi, detti, chiavi, seme);
        for (const QJsonValue v : radice.value(QStringLiteral("tasks")).toArray()) {
            const QJsonObject t = v.toObject();
            for (const QJsonValue riga : t[QStringLiteral("illeggibili")].toArray()) {
                QString c;
                qint64 n = 0;
                ASSERT_TRUE(LeggiRiga(riga.toString(), &c, &n)) << riga.toString().toStdString();
                chiaviTask[c] << t[QStringLiteral("key")].toString();
                EXPECT_TRUE(t[QStringLiteral("detail")].toString().contains(riga.toString()));
            }
        }
        ConfrontaCampi("i controlli di check --json", attesi, detti, chiaviTask, seme);

        // Text: each check's line carries its fields, and the notice lists every field.
        const EsitoCli testo = EseguiCli(base);
        ASSERT_LE(testo.stato, 1) << testo.err.toStdString();
        QMap<QString, qint64> nelleRighe, nellAvviso;
        QMap<QString, QStringList> chiaviRighe;
        for (const QString& riga : testo.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList colonne = riga.split(QLatin1Char('\t'));
            for (const QString& parte : colonne.value(3).split(QStringLiteral(" / ")).mid(1)) {
                QString c;
                qint64 n = 0;
                if (LeggiRiga(parte, &c, &n)) {
                    nelleRighe[c] = n;
                    chiaviRighe[c] << colonne[0];
                }
            }
        }
        ConfrontaCampi("le righe di check", attesi, nelleRighe, chiaviRighe, seme);
        for (const QString& riga : testo.err.split(QLatin1Char('\n'))) {
            QString c;
            qint64 n = 0;
            if (LeggiRiga(riga, &c, &n))
                nellAvviso[c] = n;
        }
        ConfrontaCampi("l'avviso di check", attesi, nellAvviso, {}, seme);

        // The report: the warning at its head, the note beside the counts.
        const QString pagina = TestoPagina(QString::fromUtf8(testsupport::fileBytes(rapporto)));
        EXPECT_TRUE(pagina.contains(QStringLiteral("Alcuni campi contengono valori illeggibili"))) << seme;
        for (auto c = attesi.cbegin(); c != attesi.cend(); ++c)
            EXPECT_TRUE(pagina.contains(QStringLiteral("%1: %2 valor").arg(c.key()).arg(c.value())))
                << c.key().toStdString() << ", seme " << seme;
    }
}

// The window's run over the same kind of archive: the notice after the run, and the detail of each
// check that reads such a field. A clean demo gives neither.
TEST(ValoriIlleggibili, TheWindowsRunTellsTheOperatorAfterItsCounts)
{
    for (const quint64 seme : {0, 4}) {
        QTemporaryDir cartella;
        const QString archivio = CopiaArchivio(LaDemo().archivio, cartella.path());
        const QMap<QString, qint64> attesi = seme == 0 ? QMap<QString, qint64>() : Mescola(archivio, seme);
        OperatoreDiProva().Azzera();
        SessioneProva().DbArchivi = dbe::OpenDatabase(archivio);
        SessioneProva().DbMaster = dbe::OpenDatabase(QDir(LaDemo().home).filePath(QStringLiteral("esempio.mdb")), true);
        {
            Manutenzione m{SessioneProva()};
            m.CreaLista();
            CaricaTask(m);
            AvviaControllo(m);
            QMap<QString, qint64> avviso, dettagli;
            QMap<QString, QStringList> chiavi;
            for (const QString& testo : OperatoreDiProva().Mostrati()) {
                for (const QString& riga : testo.split(QLatin1Char('\n'))) {
                    QString c;
                    qint64 n = 0;
                    if (LeggiRiga(riga, &c, &n))
                        avviso[c] = n;
                }
            }
            for (int id = 1; id <= m.NumTask; ++id) {
                for (const QString& riga : m.ElencoTask[size_t(id)].Dettaglio.split(QLatin1Char('\n')).mid(1)) {
                    QString c;
                    qint64 n = 0;
                    if (LeggiRiga(riga, &c, &n)) {
                        dettagli[c] = n;
                        chiavi[c] << QStringLiteral("%1K").arg(id, 4, 10, QLatin1Char('0'));
                    }
                }
            }
            ConfrontaCampi("l'avviso della finestra", attesi, avviso, {}, seme);
            ConfrontaCampi("i dettagli della finestra", attesi, dettagli, chiavi, seme);
            EXPECT_EQ(m.ValoriIlleggibili.size(), attesi.size());

            // A check run again on its own, as after a correction, says it again; once another
            // program has emptied the field, it no longer does, and the run's list drops the field.
            if (!attesi.isEmpty()) {
                const QString campo = attesi.firstKey();
                const QString chiave = ChiaviDi(campo).value(0);
                const int li = m.LstTask.Trova(chiave);
                ASSERT_GE(li, 0) << chiave.toStdString();
                const auto righeDi = [&] {
                    QMap<QString, qint64> r;
                    for (const QString& riga : m.Task(li).Dettaglio.split(QLatin1Char('\n'))) {
                        QString c;
                        qint64 n = 0;
                        if (LeggiRiga(riga, &c, &n))
                            r[c] = n;
                    }
                    return r;
                };
                RicontrollaTask(m, li);
                EXPECT_EQ(righeDi().value(campo), attesi[campo]) << chiave.toStdString() << ", seme " << seme;
                const QStringList parti = campo.split(QLatin1Char('.'));
                testsupport::sqliteExec(archivio, QStringLiteral("UPDATE %1 SET %2 = NULL").arg(parti[0], parti[1]));
                RicontrollaTask(m, li);
                EXPECT_FALSE(righeDi().contains(campo)) << chiave.toStdString() << ", seme " << seme;
                for (const QString& t : m.ValoriIlleggibili)
                    EXPECT_FALSE(t.startsWith(campo + QLatin1Char(':'))) << t.toStdString();
            }
        }
        OperatoreDiProva().Azzera();
        AzzeraAmbiente();
    }
}
