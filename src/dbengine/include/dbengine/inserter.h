#pragma once
// Inserter: the engine's fast path for loading many records into one table, for the demo
// generator, fixtures and benchmarks. It prepares one insert of the named fields and writes every
// record inside one transaction of its own (a savepoint when a workspace transaction is open),
// which Commit() ends; an Inserter destroyed before Commit() undoes everything it wrote.
//
// Values go in by type, as the field stores them: text for text and memo fields, whole numbers
// for yes/no (-1/0), byte, integer, long, real numbers for single, double and currency, dates
// with or without time of day (to the second), bytes for binary and long binary. A number set into a text field is
// written as its decimal text. Text is checked against the field's size (3163) and zero-length setting (3315); unique
// indexes are checked by the file (3022). Counter fields are not numbered: give them their values. Every field starts
// Null on each record.
#include "database.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

namespace dbe {

class Inserter {
public:
    // fields: names of the table's fields (case-insensitive); an absent table raises 3078, an
    // absent field 3265.
    Inserter(const Database& db, const QString& table, const QStringList& fields);
    ~Inserter();
    Inserter(const Inserter&) = delete;
    Inserter& operator=(const Inserter&) = delete;

    int FieldCount() const;
    short FieldType(int field) const;

    void SetNull(int field);
    void SetText(int field, const QString& value);
    // A text as another program stored it, for the import of a file: the empty text is kept also in
    // a field that does not allow it (Access keeps such values when the setting changes after they
    // were written); the size is still checked.
    void SetTextAsFound(int field, const QString& value);
    void SetInteger(int field, qint64 value);
    void SetReal(int field, double value);
    // A currency value exactly, given in ten-thousandths (Access's and the original engine's
    // scaled 64-bit integer): a real where the real reads back as that count, a whole number as an
    // integer, and beyond both (above about 2x10^11 with decimals) the exact text in the Italian
    // number form ("922337203685477,5807"), which the file keeps as text and the engine reads as
    // that number. Into a field of another type: as SetReal of the value.
    void SetCurrency(int field, qint64 tenThousandths);
    void SetDate(int field, const QDate& value);
    // The date and time as they read (the time zone is not looked at); seconds and below dropped.
    void SetDateTime(int field, const QDateTime& value);
    // Binary and long binary fields; a binary value longer than the field's size raises 3163.
    void SetBytes(int field, const QByteArray& value);

    // Writes the record set so far and starts the next one with every field Null.
    void Insert();
    // Records written so far.
    qint64 Count() const;
    // Makes the records written permanent (or part of the open workspace transaction).
    void Commit();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Speeds up a bulk load into a file that is being made from scratch, for this connection only:
// the rollback journal in memory, no syncing to disk, a page cache of 8 MB (records appended in
// rowid order and indexes built by sorting need only the pages on the path being written; a larger
// cache only fills with pages written once, each a fresh allocation, and made the load slower),
// two threads for the sorts that build indexes. A failed insert still rolls back; a crash of the process or the
// machine meanwhile may leave the file unusable. Only for new files such as the demo's; the next
// OpenDatabase of the file works as usual.
void PrepareForBulkLoad(const Database& db);

// For a process that loads on several threads at once (each with its own connection): turns off
// SQLite's count of the memory it holds, which takes one lock for the whole process on every
// allocation and release, and so makes threads that allocate a lot wait for each other. Only
// possible before the process's first database is opened; returns false (and changes nothing)
// afterwards.
bool PrepareProcessForParallelLoad();

// Moves every record of a table that another file holds, with its index entries, into the table of
// the same name in db, which must be empty and defined exactly alike: the same fields with the same
// types, and indexes over the same fields with the same collation and uniqueness (names may
// differ). The records keep their row numbers, and SQLite copies records and index entries as they
// are stored, in order, without searching or sorting anything again: a table loaded and indexed in a
// file of its own (on another thread, say) joins the file being made for the price of a sequential
// copy. The other file is only read; no connection may be writing it. Raises 3078 for an absent
// table, 3265 when the copy could not be made that way (a table not empty or not alike), leaving db
// as it was. Returns the records moved. Meant for new files, as PrepareForBulkLoad.
qint64 AppendTableFromFile(const Database& db, const QString& table, const QString& sourceFile);

// Closes a connection to a scratch file, one made for a bulk load whose records have gone
// elsewhere, without first syncing what it wrote to the disk (as Close does), and removes the file
// with its journal and log files. Nothing to do for a null or closed connection.
void DiscardScratchFile(const Database& db);

}  // namespace dbe
