#pragma once
// The safety tests' fixture: the records fixture (an archive in a temporary folder as SessioneProva().DbArchivi,
// Yes to every question) with the safety gate reset, and helpers to run a record correction on
// every problem record of a catalogue task, and to read the copies and the journal.
#include "records/fixture_record.h"
#include "safety/registro.h"
#include "safety/sessione_sicurezza.h"
#include "support/sqlite_file.h"

#include <QDir>

namespace corvale::prova {

class ArchivioSicurezza : public ArchivioRecord {
protected:
    QString archivio() const { return dir.filePath("lumera.mdb"); }
    // The safety copies in the folder "copie" beside the archive, by name.
    QStringList copie() const
    {
        QStringList l;
        for (const QString& f : QDir(dir.filePath("copie")).entryList({"*.mdb"}, QDir::Files, QDir::Name))
            l << dir.filePath("copie/" + f);
        return l;
    }
    Registro& registro()
    {
        if (!reg_)
            reg_ = std::make_unique<Registro>(archivio());
        return *reg_;
    }
    // The catalogue task with that description.
    static TaskCorrezione taskDi(const QString& descrizione)
    {
        for (int n = 1; n <= 29; ++n)
            if (task(n).Descrizione == descrizione) {
                TaskCorrezione t = task(n);
                t.Chiave = QStringLiteral("%1K").arg(n + 1, 4, 10, QLatin1Char('0'));
                return t;
            }
        ADD_FAILURE() << "no task " << descrizione.toStdString();
        return {};
    }
    // The problem records the task's grid shows now.
    qint64 problemi(const TaskCorrezione& t)
    {
        VistaCorrezione w(SessioneProva());
        EXPECT_TRUE(AttivaCorrezioneRecord(w, t));
        const qint64 n = w.DtRow.isNull() ? -1 : w.DtRow.RecordCount();
        w.DtRow = dbe::Recordset();
        w.DtColl = dbe::Recordset();
        return n;
    }
    // Opens the task's view, selects every problem record and applies `opzione` (for "Associa",
    // the combo entry `voce`), as the operator does in the window.
    void correggiTutti(const TaskCorrezione& t, int opzione, int voce = -1);

    std::unique_ptr<Registro> reg_;
};

}  // namespace corvale::prova
