#pragma once
// Saving the report of a run from the maintenance window. After a run (the results mode, 2) the
// task list's popup menu offers "Salva rapporto..." (Ctrl+S on the window does the same): a file
// chooser in Italian proposes the archive's folder and a dated name, an existing file is replaced
// only after a Yes, and the page written is the one corvale-cli controlla --html writes, built from the
// whole task table, so the tasks that passed (and left the list) are in it too.
class QAction;

namespace corvale {

class FrmRepair;

// Adds the item to the window's popup menu and its shortcut to the window; returns the item.
QAction* CollegaSalvaRapporto(FrmRepair& finestra);

// Asks for the file and writes the report; false when nothing was written (another mode, the
// chooser cancelled, No to replacing, or a write failure, which is reported).
bool SalvaRapporto(FrmRepair& finestra);

}  // namespace corvale
