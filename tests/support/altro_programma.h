#pragma once
// Another program on the same archive, for the tests that check that nothing this process does is
// lost to it and nothing it does is undone: the stock sqlite3 shell, always in processes of its own
// (never a second connection of the test process). Tests that need it skip when the shell is
// missing (scripts/deps.sh installs it).
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// True when the sqlite3 shell can be run.
bool Sqlite3Disponibile();

// Runs sql in a fresh sqlite3 process on file: it opens the file, runs the statements (waiting up
// to five seconds for a busy file), prints the results one a line and closes the file, as every
// other program reading the archive does. Returns what it printed, trimmed; a failure of the shell
// fails the test.
QString DaFuori(const QString& file, const QString& sql);

// The state a fresh process finds: PRAGMA integrity_check must say ok (the test fails otherwise);
// returns the value of the query.
QString VerificaDaFuori(const QString& file, const QString& query);

// Another program reading the file again and again until Ferma(): each round is a fresh sqlite3
// process that opens the file, reads from every table named, and closes it. With scrive, each
// round also commits one record of its own into the table ALTRO_PROGRAMMA (created here, before
// the round starts), so that the test can check that all of them survive.
class AltroProgramma {
public:
    AltroProgramma(const QString& file, const QStringList& tabelle, bool scrive = false);
    ~AltroProgramma();
    // Stops after the current round; returns the rounds that committed their record (or read,
    // without scrive).
    int Ferma();
    // Waits until at least n rounds have ended.
    void AttendiGiri(int n);

private:
    QTemporaryDir dir_;
    QProcess p_;
    int giri_ = -1;
};

// Another program writing often and briefly: one sqlite3 process that keeps the file open and
// commits one record into ALTRO_PROGRAMMA (created here) every 10 ms, each in a transaction of its
// own, until Ferma(). The rows it committed are the rows of ALTRO_PROGRAMMA.
class ScrittoreFrequente {
public:
    explicit ScrittoreFrequente(const QString& file);
    ~ScrittoreFrequente();
    // Waits until it has committed at least n records.
    void Attendi(int n);
    // Stops it; true when every write it tried was committed.
    bool Ferma();

private:
    QString file_;
    QTemporaryDir dir_;
    QProcess p_;
    bool fermato_ = false;
    bool riuscito_ = false;
};

// Another program keeping a write transaction open on the file (BEGIN IMMEDIATE) until Rilascia().
class ScritturaAltrui {
public:
    explicit ScritturaAltrui(const QString& file);
    ~ScritturaAltrui();
    void Rilascia();
    bool tiene = false;

private:
    QProcess shell_;
};

}  // namespace testsupport
