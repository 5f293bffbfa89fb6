#pragma once
// The run loop over a Manutenzione's task list. AvviaControllo walks the ticked rows, one yield
// per row (Manutenzione::Cedi), asks before a row whether to stop when Interrompi is set, and at
// the end keeps only the rows still ticked (those with problems and those it did not come to);
// ControlloItem runs one task by its type and leaves its state and detail in the task record.
// Questions and notices go through the session's operator.
class QString;

namespace corvale {

class Manutenzione;

// Runs every ticked task; "Nessuna azione selezionata." and nothing else when none is ticked.
void AvviaControllo(Manutenzione& m);
// Runs the task of row li when it is ticked; a row out of range or not ticked is left alone.
void ControlloItem(Manutenzione& m, int li);
// The interruption question; Yes: true; No: false, and m.Interrompi is cleared.
bool ChiediInterruzione(Manutenzione& m);
// The progress text for row li in LblStat, and the repaint that makes it visible.
void MostraAvanzamento(Manutenzione& m, int li);

}  // namespace corvale
