#pragma once
// A power cut for the tests (Linux): a file system layer over SQLite's default one, installed as the
// default in a child process only, that remembers for every file SQLite opens through it (an
// archive, its log, a journal and its log; not the log's index, which is shared memory, never durable)
// what each write and truncation since the file's last successful sync replaced. TaglioCorrente()
// then puts every file back as it was at its last sync, as a disk loses whatever was not yet synced
// when the power goes, removes the files that were made and never synced, and ends the process at
// once (_exit), closing nothing. A file that existed before the layer first opened it counts as
// synced as it was then.
namespace testsupport {

// Installs the layer as SQLite's default; with dopoEventi > 0 the power goes (TaglioCorrente) right
// after that many writes, truncations and syncs, counted over every file. Call once, in the child.
void InstallaTaglioCorrente(long dopoEventi = 0);
// The writes, truncations and syncs seen so far.
long EventiTaglioCorrente();
// The power cut: never returns; the process ends with kUscitaTaglio.
[[noreturn]] void TaglioCorrente();
constexpr int kUscitaTaglio = 42;

}  // namespace testsupport
