#pragma once
// Test helpers for archive files written by hand: runs SQL on a file through the plain SQLite C
// API (creating it), as a third party with the sqlite3 shell would, and reads a file's bytes.
#include <QByteArray>
#include <QStringList>
#include <QString>
#include <QVariant>

namespace testsupport {

// Runs the SQL (several statements allowed) on the file, creating it if needed; fails the test
// (GoogleTest ADD_FAILURE) with SQLite's message on error.
void sqliteExec(const QString& path, const QString& sql);
// The first column of the first row of a query, or an invalid QVariant without rows.
QVariant sqliteValue(const QString& path, const QString& sql);
// Every row of every table of the file (SQLite's own tables aside), each as its table's name and
// its values with their storage classes, sorted: two files with the same records give equal lists.
QStringList sqliteDump(const QString& path);
// The whole content of a file (empty when it cannot be read).
QByteArray fileBytes(const QString& path);
// Writes bytes to a file, replacing it.
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace testsupport
