// The manual page of corvale-cli keeps step with its --help: every command and every option the
// help names is documented in packaging/corvale-cli.1, and the page names no command the program
// does not know.
#include "support/processo_cli.h"
#include "support/seconda_lettura.h"
#include "support/sqlite_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QSet>
#include <gtest/gtest.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

using corvale::prova::EseguiCli;

TEST(Manuale, ThePageDocumentsEveryCommandAndOptionOfTheHelp)
{
    const corvale::prova::EsitoCli aiuto = EseguiCli({"--help"});
    ASSERT_EQ(aiuto.stato, 0);
    // The page as man shows it: troff's escaped hyphens read as hyphens.
    QString pagina =
        QString::fromUtf8(testsupport::fileBytes(QStringLiteral(CORVALE_SOURCE_DIR "/packaging/corvale-cli.1")));
    pagina.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    ASSERT_FALSE(pagina.isEmpty());

    QSet<QString> comandi;
    static const QRegularExpression riga(QStringLiteral("^  ([a-z][a-z-]+) "));
    bool inComandi = false;
    for (const QString& r : aiuto.out.split(QLatin1Char('\n'))) {
        if (r.startsWith(QLatin1String("Comandi:")))
            inComandi = true;
        else if (!r.startsWith(QLatin1Char(' ')))
            inComandi = false;
        const auto m = riga.match(r);
        if (inComandi && m.hasMatch())
            comandi << m.captured(1);
    }
    EXPECT_GE(comandi.size(), 10);
    for (const QString& c : comandi) {
        EXPECT_TRUE(
            pagina.contains(QRegularExpression(QStringLiteral("^\\.B[IR]? \"?%1\\b").arg(QRegularExpression::escape(c)),
                                               QRegularExpression::MultilineOption)))
            << "comando non documentato: " << c.toStdString();
        EXPECT_EQ(EseguiCli({c, "--help"}).err.contains("Comando sconosciuto"), false) << c.toStdString();
    }
    static const QRegularExpression opzione(QStringLiteral("--[a-z][a-z-]+"));
    for (const QString& testo : {aiuto.out, EseguiCli({"demo", "--help"}).out + EseguiCli({"demo"}).err}) {
        for (auto it = opzione.globalMatch(testo); it.hasNext();) {
            const QString o = it.next().captured(0);
            EXPECT_TRUE(pagina.contains(o)) << "opzione non documentata: " << o.toStdString();
        }
    }
    // The exit statuses and the files are there.
    EXPECT_TRUE(pagina.contains(".SH STATO D'USCITA"));
    EXPECT_TRUE(pagina.contains(".SH FILE"));
}

namespace {

// What the bash completion offers for the words typed so far (the last one being completed).
QStringList Completa(const QStringList& parole)
{
    QProcess bash;
    const QString script =
        QStringLiteral("source '" CORVALE_SOURCE_DIR "/packaging/corvale-cli.bash-completion'; COMP_WORDS=(%1); "
                       "COMP_CWORD=%2; _corvale_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
            .arg(parole.join(QLatin1Char(' ')))
            .arg(parole.size() - 1);
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    bash.waitForFinished();
    return QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

// The completion offers the commands, each command's options, and for "correggi" the keys of the
// data checks: the same keys a check of the demo reports. The English names of the first releases
// still run the same commands: the same output, the same status.
TEST(Manuale, TheCompletionOffersCommandsOptionsAndTheChecksKeys)
{
    EXPECT_EQ(Completa({"corvale-cli", "corr"}), (QStringList{"correggi-struttura", "correggi"}));
    EXPECT_TRUE(Completa({"corvale-cli", "controlla", "--"}).contains("--html"));
    EXPECT_TRUE(Completa({"corvale-cli", "correggi", "0034K", "--as"}).contains("--associa-chiave"));
    EXPECT_TRUE(Completa({"corvale-cli", "correct", "0034K", "--arc"}).contains("--archivio"));
    for (const QString comando : {"controlla", "correggi 0017K", "importa", "ripara", "demo"})
        EXPECT_TRUE(
            Completa(QStringList{"corvale-cli"} + comando.split(' ') + QStringList{"--sil"}).contains("--silenzioso"))
            << comando.toStdString();

    QTemporaryDir dir;
    ASSERT_EQ(EseguiCli({"demo", dir.filePath("demo"), "--ordini", "200"}).stato, 0);
    const corvale::prova::EsitoCli check = EseguiCli({"controlla", "--programma", dir.filePath("demo"), "--json"});
    QStringList chiavi;
    for (const QJsonValue& t : QJsonDocument::fromJson(check.out.toUtf8()).object().value("tasks").toArray())
        if (t.toObject().value("type").toString() != QLatin1String("ST"))
            chiavi << t.toObject().value("key").toString();
    ASSERT_FALSE(chiavi.isEmpty());
    EXPECT_EQ(Completa({"corvale-cli", "correggi", "\"\""}), chiavi);

    const corvale::prova::EsitoCli inglese =
        EseguiCli({"check", "--home", dir.filePath("demo"), "--archive", dir.filePath("demo/archivi"), "--json"});
    EXPECT_EQ(inglese.stato, check.stato);
    EXPECT_EQ(inglese.stato, 1);  // the demo has problems
    EXPECT_EQ(QJsonDocument::fromJson(inglese.out.toUtf8()).object().value("tasks"),
              QJsonDocument::fromJson(check.out.toUtf8()).object().value("tasks"));
    for (const QStringList& sbagliato :
         {QStringList{"correct"}, QStringList{"import"}, QStringList{"repair-structure", "--x"}}) {
        QStringList italiano = sbagliato;
        italiano[0] = italiano[0] == "correct"  ? "correggi"
                      : italiano[0] == "import" ? "importa"
                                                : "correggi-struttura";
        const corvale::prova::EsitoCli a = EseguiCli(sbagliato), b = EseguiCli(italiano);
        EXPECT_EQ(a.stato, 2) << sbagliato.join(' ').toStdString();
        EXPECT_EQ(a.err, b.err) << sbagliato.join(' ').toStdString();
    }
}

namespace {

// corvale-cli with its stderr on a terminal of the test's own (a pseudo-terminal 100 columns
// wide) and its stdout on a pipe: the exit status and what reached each.
struct SulTerminale {
    int stato = -1;
    QString out;
    QString err;
};

SulTerminale EseguiSulTerminale(const QStringList& argomenti)
{
    SulTerminale e;
    int padrone = -1, servo = -1;
    winsize w{};
    w.ws_col = 100;
    w.ws_row = 30;
    if (::openpty(&padrone, &servo, nullptr, nullptr, &w) != 0)
        return e;
    QProcess p;
    p.setChildProcessModifier([servo] { ::dup2(servo, STDERR_FILENO); });
    p.start(QStringLiteral(CORVALE_CLI_PATH), argomenti);
    p.waitForStarted();
    ::close(servo);
    QByteArray err;
    const auto leggi = [&] {
        pollfd f{padrone, POLLIN, 0};
        char buf[4096];
        while (::poll(&f, 1, 20) > 0 && (f.revents & POLLIN)) {
            const ssize_t n = ::read(padrone, buf, sizeof buf);
            if (n <= 0)
                break;
            err.append(buf, n);
        }
    };
    while (!p.waitForFinished(20))
        leggi();
    leggi();
    ::close(padrone);
    e.stato = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(err).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));  // the terminal's line ends
    return e;
}

}  // namespace

// The long commands draw their progress on one line of the terminal, rewritten in place and
// cleared before anything else is written; --silenzioso and a stderr that is no terminal get no
// progress at all, and --silenzioso no informational lines either.
TEST(Manuale, LongCommandsShowProgressOnATerminalOnlyAndNeverWhenSilent)
{
    QTemporaryDir dir;
    int demo = 0;
    const auto nuovoDemo = [&] {
        const QString d = dir.filePath(QStringLiteral("demo%1").arg(++demo));
        EXPECT_EQ(EseguiCli({"demo", d, "--silenzioso"}).stato, 0);
        return d;
    };
    const QString nwind = testsupport::CartellaCampioniAccess() + "/nwind.mdb";
    int importazioni = 0;
    const struct {
        std::function<QStringList()> argomenti;  // a fresh run: corrections change their demo
        QString cosa;  // what its progress line says
        QString informativa;  // a line --silenzioso leaves out
    } casi[] = {
        {[&] {
             return QStringList{"check", "--home", nuovoDemo()};
         },
         "Analisi dati in corso", ""},
        {[&] {
             return QStringList{"ripara", "--home", nuovoDemo()};
         },
         "Verifica dell'archivio", ""},
        {[&] {
             return QStringList{"repair-structure", "--senza-copia", "--home", nuovoDemo()};
         },
         "Struttura: ", ""},
        {[&] { return QStringList{"correct", "0017K", "--elimina", "--senza-copia", "--home", nuovoDemo()}; },
         "Correzione dei record", ""},
        {[&] {
             return QStringList{"import", nwind, dir.filePath(QStringLiteral("n%1.db").arg(++importazioni))};
         },
         "Importazione: record copiati", "Tabella Orders: 830 record"},
        {[&] {
             return QStringList{"demo", dir.filePath(QStringLiteral("d%1").arg(++demo))};
         },
         "", "CLIENTI: 20 record"},
    };
    for (const auto& c : casi) {
        const QStringList argomenti = c.argomenti();
        SCOPED_TRACE(argomenti.first().toStdString());
        if (argomenti.contains(nwind) && !QFileInfo::exists(nwind))
            continue;
        const SulTerminale t = EseguiSulTerminale(argomenti);
        EXPECT_LT(t.stato, 2) << t.err.toStdString();
        const QStringList righe = t.err.split(QLatin1Char('\n'));
        if (!c.cosa.isEmpty()) {
            EXPECT_TRUE(t.err.contains(c.cosa)) << t.err.toStdString();
            for (const QString& r : righe)
                if (r.contains(c.cosa)) {  // drawn over itself, each time within the width, then cleared
                    EXPECT_TRUE(r.startsWith('\r')) << r.toStdString();
                    for (const QString& disegno : r.split('\r'))
                        EXPECT_LT(disegno.size(), 100);
                    EXPECT_FALSE(r.section('\r', -1).contains(c.cosa)) << r.toStdString();
                }
        }
        EXPECT_TRUE(c.informativa.isEmpty() || t.err.contains(c.informativa));

        const SulTerminale zitto = EseguiSulTerminale(c.argomenti() << "--silenzioso");
        EXPECT_LT(zitto.stato, 2) << zitto.err.toStdString();
        EXPECT_FALSE(zitto.err.contains('\r')) << zitto.err.toStdString();
        EXPECT_TRUE(c.informativa.isEmpty() || !zitto.err.contains(c.informativa)) << zitto.err.toStdString();

        const corvale::prova::EsitoCli tubo = EseguiCli(c.argomenti());
        EXPECT_LT(tubo.stato, 2);
        EXPECT_FALSE(tubo.err.contains('\r')) << tubo.err.toStdString();
        EXPECT_TRUE(c.cosa.isEmpty() || !tubo.err.contains(c.cosa));
        EXPECT_TRUE(c.informativa.isEmpty() || tubo.err.contains(c.informativa));
    }
}
