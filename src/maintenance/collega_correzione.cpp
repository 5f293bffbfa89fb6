#include "collega_correzione.h"

#include "frm_corr.h"

#include "maintenance/frm_repair.h"

#include <QFrame>
#include <QVBoxLayout>

namespace corvale {

FrmCorr* CollegaCorrezioneRecord(FrmRepair& finestra)
{
    QFrame* cornice = finestra.FrmCorr();
    auto* vista = new FrmCorr(finestra.Controllore().sessione(), cornice);
    auto* layout = new QVBoxLayout(cornice);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(vista);
    Manutenzione* m = &finestra.Controllore();
    HookCorrezioni& c = m->Correzioni;
    // An engine error of the set-up reaches the window, which reports it and stays on the list.
    c.AttivaCorrezioneRecord = [vista, m](int i) { vista->ApriCorrezioneRecord(TaskDaManutenzione(*m, i)); };
    c.GestisciCorrezioneEN = [vista, m](int i) { vista->GestisciCorrezioneEN(TaskDaManutenzione(*m, i)); };
    c.GestisciCorrezioneENP = [vista, m](int i) { vista->GestisciCorrezioneENP(TaskDaManutenzione(*m, i)); };
    c.RecordSelezionati = [vista] { return int(qMin<qint64>(vista->RecordSelezionati(), 1 << 30)); };
    return vista;
}

}  // namespace corvale
