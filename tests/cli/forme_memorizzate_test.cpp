// Values stored by other programs in forms nobody listed. The demo's archive, rewritten by
// corvale-forme through the plain SQLite library with every form drawn at random per value (dates,
// numbers, yes/no, the case and accented letters of codes, all mixed within each column), must give
// the same outcome of every check (text and --json) and the same records deleted or changed by
// each kind of record correction as the untouched demo. Both copies first get the same times of
// day on their dates (--ore), so that the forms of a time are tried too.
//
// CORVALE_FORME_SEMI=N runs N seeds (default 3, within 20 seconds; more seeds are not bounded),
// CORVALE_FORME_SEME=S starts from seed S (default 1), CORVALE_FORME=f1,f2 tries only the forms
// or families named; CORVALE_FORME_DIAGNOSI=1 also tries each form alone and prints what it
// changes.
#include "support/forme_prova.h"
#include "support/processo_cli.h"
#include "support/sqlite_file.h"
#include "support/stampa_qt.h"

#include <QDir>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvale::prova;

namespace {

// One data check's correction of each kind (keys of the demo's catalogue), as corvale-cli runs it.
const QStringList kCorrezioni[] = {
    {QStringLiteral("0017K"), QStringLiteral("--elimina")},  // empty customers: delete
    {QStringLiteral("0023K"), QStringLiteral("--elimina")},  // orders of no customer: delete
    {QStringLiteral("0027K"), QStringLiteral("--associa")},  // invoices of no customer: reassign
    {QStringLiteral("0025K"), QStringLiteral("--fisso")},  // orders of no supplier: VARIE
    {QStringLiteral("0044K"), QStringLiteral("--fisso")},  // payments of no supplier: AGENZIA
    {QStringLiteral("0034K"), QStringLiteral("--elimina")},  // orders without lines: joined delete
    {QStringLiteral("0036K"), QStringLiteral("--elimina")},  // lines without order: joined delete
    {QStringLiteral("0045K"), QStringLiteral("--elimina")},  // batches of no payment: joined on numbers
};

struct Esiti {
    QString controllo, json;
    QMap<QString, QStringList> correzioni;  // check key: exit status, printed line, changes
};

// The untouched demo (made once), and a copy of it whose dates have times of day in the engine's
// own form (corvale-forme --forme motore --ore): the two archives the rewritten ones are held to.
struct Demo {
    QTemporaryDir dir;
    QString home, archivio;
    QMap<QString, Esiti> attesi;  // by the customer named to --associa
};

Demo& LaDemo(bool ore = false)
{
    static Demo* senza = nullptr;
    static Demo* con = nullptr;
    if (!senza) {
        senza = new Demo;
        senza->home = senza->dir.filePath(QStringLiteral("home"));
        const EsitoCli e = EseguiCli({QStringLiteral("demo"), senza->home});
        EXPECT_EQ(e.stato, 0) << e.err.toStdString();
        senza->archivio = QDir(senza->home).filePath(QStringLiteral("archivi/lumera.mdb"));
    }
    if (ore && !con) {
        con = new Demo;
        con->home = senza->home;
        con->archivio = CopiaArchivio(senza->archivio, con->dir.path());
        RiscriviForme(con->archivio, 0, {QStringLiteral("motore")}, true);
    }
    return ore ? *con : *senza;
}

EsitoCli Cli(const QStringList& argomenti, const QString& archivio)
{
    return EseguiCli(argomenti
                     + QStringList{QStringLiteral("--home"), LaDemo().home, QStringLiteral("--archive"),
                                   QFileInfo(archivio).path()});
}

// Every check, then each correction on a copy of its own.
Esiti Prova(const QString& archivio, const QString& cliente)
{
    Esiti e;
    const EsitoCli testo = Cli({QStringLiteral("check")}, archivio);
    e.controllo = testo.out + QStringLiteral("stato\t%1\t\t\n").arg(testo.stato);  // its exit status as a line
    e.json = Cli({QStringLiteral("check"), QStringLiteral("--json")}, archivio).out;
    for (const QStringList& c : kCorrezioni) {
        QTemporaryDir cartella;
        const QString copia = CopiaArchivio(archivio, cartella.path());
        const Contenuto prima = LeggiContenuto(copia);
        QStringList argomenti =
            QStringList{QStringLiteral("correct")} + c + QStringList{QStringLiteral("--senza-copia")};
        if (c[1] == QLatin1String("--associa"))
            argomenti.insert(3, cliente);
        const EsitoCli fatto = Cli(argomenti, copia);
        e.correzioni[c.join(QLatin1Char(' '))] =
            QStringList{
                QStringLiteral("stato %1, %2").arg(fatto.stato).arg(fatto.out.trimmed().section(QLatin1Char('\t'), -1))}
            + Cambiamenti(prima, LeggiContenuto(copia));
    }
    return e;
}

// The differences between the untouched demo and a copy rewritten with the seed and forms, one
// short line each; empty when none. With ore the rewritten copy first gets the times of day; with
// oreAttese so does the copy it is held to.
QStringList Confronta(quint64 seme, const QStringList& forme, bool ore, bool oreAttese = false)
{
    Demo& demo = LaDemo(oreAttese);
    QTemporaryDir cartella;
    const QString riscritto = CopiaArchivio(LaDemo().archivio, cartella.path());
    const QMap<QString, long> conteggi = RiscriviForme(riscritto, seme, forme, ore);
    QStringList r;
    for (auto f = conteggi.cbegin(); f != conteggi.cend(); ++f) {
        if (ore && f.key().contains(QLatin1Char('-')) && f.value() == 0)  // at midnight some cannot be
            r << QStringLiteral("la forma %1 non e' stata scritta").arg(f.key());
    }
    // A customer whose rewritten code still fits the invoices' code field (10 letters).
    const QString cliente =
        testsupport::sqliteValue(riscritto,
                                 QStringLiteral(
                                     "SELECT RAGSOC FROM CLIENTI WHERE length(CODICE) <= 10 AND trim(RAGSOC) <> '' "
                                     "GROUP BY RAGSOC HAVING count(*) = 1 ORDER BY min(rowid) LIMIT 1"))
            .toString();
    if (!demo.attesi.contains(cliente))
        demo.attesi.insert(cliente, Prova(demo.archivio, cliente));
    const Esiti& attesi = demo.attesi[cliente];
    const Esiti ottenuti = Prova(riscritto, cliente);
    for (const QString& d : DifferenzeControllo(attesi.controllo, ottenuti.controllo))
        r << QStringLiteral("check: ") + d;
    QStringList json;  // the same outcomes again: only which tasks differ
    for (const QString& d : DifferenzeControlloJson(attesi.json, ottenuti.json))
        json << d.section(QLatin1Char(' '), 0, 0);
    if (!json.isEmpty())
        r << QStringLiteral("check --json: differiscono ") + json.join(QLatin1Char(' '));
    for (auto c = attesi.correzioni.cbegin(); c != attesi.correzioni.cend(); ++c) {
        if (c.value().size() < 2 && !oreAttese)  // nothing to hold the rewritten copy to
            r << QStringLiteral("correct %1 non cambia nulla sulla demo intatta: %2").arg(c.key(), c.value().value(0));
        const QStringList& o = ottenuti.correzioni.value(c.key());
        if (o.value(0) != c.value().value(0))
            r << QStringLiteral("correct %1: %2 -> %3").arg(c.key(), c.value().value(0), o.value(0));
        for (const QString& d : DifferenzeElenchi(c.value().mid(1), o.mid(1)))
            r << QStringLiteral("correct %1: %2").arg(c.key(), d);
    }
    return r;
}

QString Racconta(quint64 seme, const QStringList& forme, bool ore, const QStringList& differenze)
{
    return QStringLiteral("CORVALE_FORME_SEME=%1 CORVALE_FORME=%2%3:\n  ")
               .arg(seme)
               .arg(forme.isEmpty() ? QStringLiteral("tutte") : forme.join(QLatin1Char(',')),
                    ore ? QStringLiteral(" (date con le ore)") : QString())
           + differenze.join(QStringLiteral("\n  "));
}

QStringList FormeDaAmbiente()
{
    const QString f = qEnvironmentVariable("CORVALE_FORME");
    return f.isEmpty() ? QStringList() : f.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

quint64 PrimoSeme()
{
    return qEnvironmentVariableIsSet("CORVALE_FORME_SEME") ? qEnvironmentVariable("CORVALE_FORME_SEME").toULongLong()
                                                           : 1;
}

// The numbers a check joins on (the batches' IDRIS, in RISOLTI and PAGAM_RISOLTI) rewritten so
// that no payment writes its batch's number in the form the batch does: each as stored (an
// integer) or as Italian text with one to three decimals ('37,0', '37,000', '1.234,00').
void RiscriviChiaviNumeriche(const QString& archivio, quint64 seme)
{
    QRandomGenerator caso(seme);
    const auto forma = [](qint64 n, int f) {
        if (f == 0)
            return QString::number(n);
        QString intero = QString::number(n);
        if (f == 3)
            for (qsizetype at = intero.size() - 3; at > 0; at -= 3)
                intero.insert(at, u'.');
        return QStringLiteral("'%1,%2'").arg(intero, QString(f, u'0'));
    };
    const auto elenco = [&](const QString& query) {
        return testsupport::sqliteValue(archivio, query).toString().split(u',', Qt::SkipEmptyParts);
    };
    QStringList sql;
    for (const QString& distinta : elenco(QStringLiteral("SELECT group_concat(IDRIS) FROM RISOLTI"))) {
        const qint64 n = distinta.toLongLong();
        const int f = int(caso.bounded(4));
        sql << QStringLiteral("UPDATE RISOLTI SET IDRIS = %1 WHERE IDRIS = %2;").arg(forma(n, f)).arg(n);
        for (const QString& riga :
             elenco(QStringLiteral("SELECT group_concat(rowid) FROM PAGAM_RISOLTI WHERE IDRIS = %1").arg(n))) {
            sql << QStringLiteral("UPDATE PAGAM_RISOLTI SET IDRIS = %1 WHERE rowid = %2;")
                       .arg(forma(n, (f + 1 + int(caso.bounded(3))) % 4), riga);
        }
    }
    testsupport::sqliteExec(archivio, sql.join(u'\n'));
}

// The records a correction changed on a copy of the archive.
QStringList CambiamentiDi(const QString& archivio, const QStringList& correzione)
{
    QTemporaryDir cartella;
    const QString copia = CopiaArchivio(archivio, cartella.path());
    const Contenuto prima = LeggiContenuto(copia);
    Cli(QStringList{QStringLiteral("correct")} + correzione + QStringList{QStringLiteral("--senza-copia")}, copia);
    return Cambiamenti(prima, LeggiContenuto(copia));
}

}  // namespace

TEST(FormeMemorizzate, OgniFormaMescolataDaGliStessiControlliEGliStessiRecordCorretti)
{
    const bool scelti = qEnvironmentVariableIsSet("CORVALE_FORME_SEMI");
    const int semi = scelti ? qEnvironmentVariableIntValue("CORVALE_FORME_SEMI") : 3;
    QElapsedTimer tempo;
    tempo.start();
    for (int i = 0; i < semi && (scelti || i == 0 || tempo.elapsed() < 20000); ++i) {
        const quint64 seme = PrimoSeme() + quint64(i);
        // Held to the demo with the same times of day in the engine's own form: a joined correction
        // looks its records up by the day alone, and finds none that carries a time.
        const QStringList differenze = Confronta(seme, FormeDaAmbiente(), true, true);
        EXPECT_TRUE(differenze.isEmpty()) << Racconta(seme, FormeDaAmbiente(), true, differenze).toStdString();
    }
}

// Each family alone on the demo's midnight dates, so that a failure says which kind of value is
// misread. (Times of day added to the dates are not another form of the same values: a joined
// correction then finds no record by the day alone and rightly deletes nothing.)
class FamigliaDiForme : public testing::TestWithParam<const char*> {};

TEST_P(FamigliaDiForme, DaGliStessiControlliEGliStessiRecordCorretti)
{
    const QStringList forme{QString::fromLatin1(GetParam())};
    const QStringList differenze = Confronta(PrimoSeme(), forme, false);
    EXPECT_TRUE(differenze.isEmpty()) << Racconta(PrimoSeme(), forme, false, differenze).toStdString();
}

INSTANTIATE_TEST_SUITE_P(FormeMemorizzate, FamigliaDiForme, testing::Values("data", "numero", "sino", "chiave"));

// The diagnosis behind the families: each form alone (a date form also on dates with times of day,
// held to the demo with the same times), one line of what it changes.
TEST(FormeMemorizzate, DiagnosiFormaPerForma)
{
    if (qEnvironmentVariableIntValue("CORVALE_FORME_DIAGNOSI") != 1)
        GTEST_SKIP() << "CORVALE_FORME_DIAGNOSI=1 prova ogni forma da sola";
    QTemporaryDir cartella;
    QStringList fallite;
    for (const QString& f : RiscriviForme(CopiaArchivio(LaDemo().archivio, cartella.path()), 1, {}, true).keys()) {
        if (!f.contains(QLatin1Char('-')))
            continue;
        for (const bool ore : {false, true}) {
            if (ore && !f.startsWith(QLatin1String("data-")))
                continue;
            const QStringList differenze = Confronta(PrimoSeme(), {f}, ore, ore);
            std::cout << (differenze.isEmpty() ? f + QStringLiteral(": uguale")
                                               : Racconta(PrimoSeme(), {f}, ore, differenze))
                             .toStdString()
                      << std::endl;
            if (!differenze.isEmpty())
                fallite << f + (ore ? QStringLiteral("(ore)") : QString());
        }
    }
    EXPECT_TRUE(fallite.isEmpty()) << fallite.join(QLatin1Char(' ')).toStdString();
}

// Keys joined on numbers that the two sides write in different forms: the same outcome of every
// check, and the joined delete on them takes the same records.
TEST(FormeMemorizzate, ChiaviNumericheInFormeDiverseDaGliStessiControlliEGliStessiRecordCorretti)
{
    const QString archivio = LaDemo().archivio;
    const QString attesa = Cli({QStringLiteral("check")}, archivio).out;
    const QStringList correzione{QStringLiteral("0045K"), QStringLiteral("--elimina")};
    const QStringList cambiamenti = CambiamentiDi(archivio, correzione);
    ASSERT_FALSE(cambiamenti.isEmpty());
    for (const quint64 seme : {1u, 2u}) {
        SCOPED_TRACE(seme);
        QTemporaryDir cartella;
        const QString riscritto = CopiaArchivio(archivio, cartella.path());
        RiscriviChiaviNumeriche(riscritto, seme);
        EXPECT_EQ(DifferenzeControllo(attesa, Cli({QStringLiteral("check")}, riscritto).out), QStringList());
        EXPECT_EQ(CambiamentiDi(riscritto, correzione), cambiamenti);
    }
}
