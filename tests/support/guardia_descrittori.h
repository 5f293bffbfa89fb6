#pragma once
// The descriptor guard of every test binary (Linux): closing any descriptor of a file drops all of
// the process's locks on it, so a descriptor of a database file that SQLite did not open, while
// SQLite has that file open, silently leaves every connection without its locks. Once installed,
// the guard fails the running test when such a descriptor is closed, or exists when SQLite opens
// the file. Installed by the tests' main() before any file is opened.
namespace testsupport {

void InstallaGuardiaDescrittori();

}  // namespace testsupport
