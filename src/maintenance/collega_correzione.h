#pragma once
// Connects the problem-record view to the maintenance window: puts a FrmCorr into the window's
// FrmCorr frame and sets the window's record-correction hooks (set-up, the two corrections and the
// count of selected rows) to it, each hook reading its task from the window's task table. After
// this call "Dettagli", "Esegui" and the grid test of the window work on real records.
#include "records/task_correzione.h"

namespace corvale {

class FrmCorr;
class FrmRepair;
class Manutenzione;

FrmCorr* CollegaCorrezioneRecord(FrmRepair& finestra);

}  // namespace corvale
