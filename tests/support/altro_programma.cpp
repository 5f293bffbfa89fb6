#include "altro_programma.h"

#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

const QString kTimeout = QStringLiteral(".timeout 5000");

// One round after another until the stop file appears; the count of good rounds goes to a file.
const char* kGiri = R"(f=$1; stop=$2; conta=$3; sql=$4; n=0
while [ ! -e "$stop" ]; do
  if sqlite3 -batch -cmd ".timeout 5000" "$f" "$sql" >/dev/null 2>&1; then n=$((n+1)); echo $n > "$conta"; fi
done
echo $n)";

}  // namespace

bool Sqlite3Disponibile() { return !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(); }

QString DaFuori(const QString& file, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), QStringLiteral("-cmd"), kTimeout, file, sql});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        ADD_FAILURE() << "sqlite3 failed on " << file.toStdString() << ": " << sql.toStdString() << "\n"
                      << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString VerificaDaFuori(const QString& file, const QString& query)
{
    EXPECT_EQ(DaFuori(file, QStringLiteral("PRAGMA integrity_check")).toStdString(), "ok") << file.toStdString();
    return DaFuori(file, query);
}

AltroProgramma::AltroProgramma(const QString& file, const QStringList& tabelle, bool scrive)
{
    QString sql;
    for (const QString& t : tabelle)
        sql += QStringLiteral("SELECT count(*) FROM \"%1\";").arg(t);
    if (scrive) {
        DaFuori(file, QStringLiteral("CREATE TABLE IF NOT EXISTS ALTRO_PROGRAMMA (giro INTEGER)"));
        sql += QStringLiteral("INSERT INTO ALTRO_PROGRAMMA VALUES (1);");
    }
    p_.start(QStringLiteral("sh"),
             {QStringLiteral("-c"), QString::fromLatin1(kGiri), QStringLiteral("sh"), file,
              dir_.filePath(QStringLiteral("ferma")), dir_.filePath(QStringLiteral("giri")), sql});
    p_.waitForStarted(10000);
}

AltroProgramma::~AltroProgramma() { Ferma(); }

int AltroProgramma::Ferma()
{
    if (giri_ >= 0)
        return giri_;
    QFile(dir_.filePath(QStringLiteral("ferma"))).open(QIODevice::WriteOnly);
    p_.waitForFinished(60000);
    giri_ = QString::fromUtf8(p_.readAllStandardOutput()).trimmed().toInt();
    return giri_;
}

void AltroProgramma::AttendiGiri(int n)
{
    for (int i = 0; i < 3000; ++i) {
        QFile f(dir_.filePath(QStringLiteral("giri")));
        if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed().toInt() >= n)
            return;
        QThread::msleep(10);
    }
    ADD_FAILURE() << "the other program did not complete " << n << " rounds";
}

ScrittoreFrequente::ScrittoreFrequente(const QString& file) : file_(file)
{
    DaFuori(file, QStringLiteral("CREATE TABLE IF NOT EXISTS ALTRO_PROGRAMMA (giro INTEGER)"));
    // The shell stops at the first statement that fails (-bail), and says so in its status.
    const char* giri =
        R"(stop=$1; while [ ! -e "$stop" ]; do echo "INSERT INTO ALTRO_PROGRAMMA VALUES (1);"; sleep 0.01; done)";
    p_.setStandardOutputFile(QProcess::nullDevice());
    p_.start(QStringLiteral("sh"),
             {QStringLiteral("-c"),
              QStringLiteral("(%1) | sqlite3 -batch -bail -cmd '.timeout 5000' \"$2\"").arg(QString::fromLatin1(giri)),
              QStringLiteral("sh"), dir_.filePath(QStringLiteral("ferma")), file});
    p_.waitForStarted(10000);
}

ScrittoreFrequente::~ScrittoreFrequente() { Ferma(); }

void ScrittoreFrequente::Attendi(int n)
{
    for (int i = 0; i < 1000; ++i) {
        if (DaFuori(file_, QStringLiteral("SELECT count(*) FROM ALTRO_PROGRAMMA")).toInt() >= n)
            return;
        QThread::msleep(20);
    }
    ADD_FAILURE() << "the other program did not write " << n << " records";
}

bool ScrittoreFrequente::Ferma()
{
    if (fermato_)
        return riuscito_;
    fermato_ = true;
    QFile(dir_.filePath(QStringLiteral("ferma"))).open(QIODevice::WriteOnly);
    p_.waitForFinished(60000);
    riuscito_ = p_.exitStatus() == QProcess::NormalExit && p_.exitCode() == 0;
    if (!riuscito_)
        ADD_FAILURE() << "the other program failed: " << p_.readAllStandardError().toStdString();
    return riuscito_;
}

ScritturaAltrui::ScritturaAltrui(const QString& file)
{
    shell_.start(QStringLiteral("sqlite3"), {file});
    shell_.waitForStarted(10000);
    shell_.write("BEGIN IMMEDIATE;\nSELECT 'preso';\n");
    QByteArray letto;
    for (int i = 0; i < 100 && !letto.contains("preso"); ++i) {
        shell_.waitForReadyRead(100);
        letto += shell_.readAllStandardOutput();
    }
    tiene = letto.contains("preso");
}

ScritturaAltrui::~ScritturaAltrui() { Rilascia(); }

void ScritturaAltrui::Rilascia()
{
    if (shell_.state() == QProcess::NotRunning)
        return;
    shell_.write("COMMIT;\n.quit\n");
    shell_.closeWriteChannel();
    shell_.waitForFinished(10000);
}

}  // namespace testsupport
