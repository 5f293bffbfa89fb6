// The manual page of corvale-cli keeps step with its --help: every command and every option the
// help names is documented in packaging/corvale-cli.1, and the page names no command the program
// does not know.
#include "support/processo_cli.h"
#include "support/sqlite_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QSet>
#include <gtest/gtest.h>

using corvale::prova::EseguiCli;

TEST(Manuale, ThePageDocumentsEveryCommandAndOptionOfTheHelp)
{
    const corvale::prova::EsitoCli aiuto = EseguiCli({"--help"});
    ASSERT_EQ(aiuto.stato, 0);
    // The page as man shows it: troff's escaped hyphens read as hyphens.
    QString pagina = QString::fromUtf8(testsupport::fileBytes(QStringLiteral(CORVALE_SOURCE_DIR "/packaging/corvale-cli.1")));
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
        EXPECT_TRUE(pagina.contains(QRegularExpression(QStringLiteral("^\\.B[IR]? \"?%1\\b").arg(QRegularExpression::escape(c)),
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
    const QString script = QStringLiteral(
        "source '" CORVALE_SOURCE_DIR "/packaging/corvale-cli.bash-completion'; COMP_WORDS=(%1); "
        "COMP_CWORD=%2; _corvale_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
        .arg(parole.join(QLatin1Char(' ')))
        .arg(parole.size() - 1);
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    bash.waitForFinished();
    return QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

// The completion offers the commands, each command's options, and for "correct" the keys of the
// data checks: the same keys a check of the demo reports.
TEST(Manuale, TheCompletionOffersCommandsOptionsAndTheChecksKeys)
{
    EXPECT_EQ(Completa({"corvale-cli", "cor"}), QStringList{"correct"});
    EXPECT_TRUE(Completa({"corvale-cli", "check", "--"}).contains("--html"));
    EXPECT_TRUE(Completa({"corvale-cli", "correct", "0034K", "--as"}).contains("--associa-chiave"));

    QTemporaryDir dir;
    ASSERT_EQ(EseguiCli({"demo", dir.filePath("demo")}).stato, 0);
    const corvale::prova::EsitoCli check = EseguiCli({"check", "--home", dir.filePath("demo"), "--json"});
    QStringList chiavi;
    for (const QJsonValue& t : QJsonDocument::fromJson(check.out.toUtf8()).object().value("tasks").toArray())
        if (t.toObject().value("type").toString() != QLatin1String("ST"))
            chiavi << t.toObject().value("key").toString();
    ASSERT_FALSE(chiavi.isEmpty());
    EXPECT_EQ(Completa({"corvale-cli", "correct", "\"\""}), chiavi);
}
