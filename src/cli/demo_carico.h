#pragma once
// Loads the demo generator's records into a table through the engine's bulk inserter: one
// transaction per table, the generator's fields that the table lacks passed over, progress
// reported on a text stream. Callers may rely on a failed load leaving the table empty.
//
// CaricoSeparato builds one table whole (records, then indexes) in a file of its own on a second
// thread while the caller writes the rest of the archive, then moves it into the archive as the
// engine stores it, without sorting its indexes again: the records are the generator's, the same
// as a load straight into the archive would write, row numbers included.
#include "demo_dati.h"

#include "dbengine/dbengine.h"

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

#include <exception>
#include <thread>

namespace corvale::cli::demo {

// Loads the archive's records of the table (or, with master true, the master's); returns how many.
qint64 CaricaTabella(const dbe::Database& db, const QString& tabella, const DatiDemo& dati, bool master,
                     QTextStream* progresso);

class CaricoSeparato {
public:
    // Creates the file (which must not exist) with the archive's definition of the table, taken
    // from the master through the caller's connection, opens a second connection to the master for
    // the thread, and starts the thread: records, then the table's indexes and properties.
    CaricoSeparato(const dbe::Database& master, const QString& fileMaster, const QString& file, const QString& tabella,
                   const DatiDemo& dati);
    // Waits for the thread, closes its connections and removes the file.
    ~CaricoSeparato();
    CaricoSeparato(const CaricoSeparato&) = delete;  // one thread, one file
    CaricoSeparato& operator=(const CaricoSeparato&) = delete;

    // Waits for the thread (raising what stopped it), then moves the table's records into the
    // archive's table of that name, already created with its indexes and still empty; returns how
    // many. Reports the table's line on progresso.
    qint64 Unisci(const dbe::Database& archivio, QTextStream* progresso);

private:
    void attendi();

    QString file_, tabella_;
    const DatiDemo& dati_;
    dbe::Database righe_, master_;
    qint64 record_ = 0;
    QElapsedTimer orologio_;
    qint64 msCarico_ = 0, msIndici_ = 0;
    std::exception_ptr errore_;
    std::thread lavoro_;
};

}  // namespace corvale::cli::demo
