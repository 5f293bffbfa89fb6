#pragma once
// The structure corrections of one task: the corrections list (one ticked row per coded problem of
// the selected structure task) and the dispatcher that applies the ticked rows one by one,
// writing each row's outcome into it and reopening the archive after every row. The maintenance
// window and corvale-cli correggi-struttura run this same code.
#include <QString>

namespace corvale {

class Manutenzione;

// Fills LstStruct from the coded problems of the task selected in LstTask (nothing without a
// selection, an empty list for a task whose counter is "1" or was never set). Each row comes ticked
// and "Da Eseguire", but for a row the engine cannot apply at all (master's attribute flags a field of
// that type cannot carry): that one comes unticked, "Non applicabile", with the reason as its note,
// so that it is reported every round and never run for nothing.
void AttivaCorrezioneStruttura(Manutenzione& m);
// What one run of the dispatcher did with the ticked rows: applied, failed, and not run because
// the run ended before them.
struct EsitoCorrezioniStruttura {
    int fatte = 0;
    int fallite = 0;
    int nonEseguite = 0;
    bool interrotta = false;  // the run ended before the last ticked row
};

// Applies the ticked rows of LstStruct for task P (its index in ElencoTask). A row that fails
// carries, as its note, the engine's error that stopped it ("Errore <number>: <description>"), and
// the run goes on with the next row. The run ends at a row that failed because another program
// kept the archive locked for writing through the whole wait, or when the archive cannot be opened
// again after a row: every ticked row after it becomes "Non eseguita", and the operator is told why
// and how many rows were done, failed and not run (RiepilogoCorrezioni). When the archive cannot be
// opened again DbArchivi stays closed. With the archive closed nothing is applied.
QString RiepilogoCorrezioni(const QString& tabella, const EsitoCorrezioniStruttura& e);
EsitoCorrezioniStruttura GestisciCorrezioneStruttura(Manutenzione& m, int P);
// Sets the two hooks of the maintenance logic to the functions above.
void CollegaCorrezioniStruttura(Manutenzione& m);

}  // namespace corvale
