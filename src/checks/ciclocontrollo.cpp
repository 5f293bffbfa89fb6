// The run loop: AvviaControllo walks the ticked rows of the task list, one yield per row, with
// the interruption question before a row when Interrompi is set, and trims the list at the end;
// ControlloItem runs one task by its type.
#include "checks/controllonull.h"
#include "checks/controllorecup.h"
#include "core/sessione.h"
#include "core/manutenzione.h"
#include "structure/strutturatabella.h"

namespace corvale {

void Manutenzione::MostraAvanzamento(int li)
{
    ImpostaLblStat(QStringLiteral("Analisi dati in corso ...") + QChar(13) + QStringLiteral("[")
                   + LstTask.Riga(li).Testo + QStringLiteral("]"));
    if (Ridisegna)
        Ridisegna();
}

void Manutenzione::AvviaControllo()
{
    bool spuntate = false;
    for (int i = 0; i < LstTask.Conta() && !spuntate; ++i)
        spuntate = LstTask.Riga(i).Spuntata;
    if (!spuntate) {
        sessione().operatore().Mostra(QStringLiteral("Nessuna azione selezionata."));
        return;
    }
    const int righe = LstTask.Conta();
    for (int li = 0; li < righe && li < LstTask.Conta(); ++li) {
        MostraAvanzamento(li);
        if (Interrompi) {
            if (sessione().operatore().Mostra(QStringLiteral("Interrompere l'analisi ?"), Pulsanti::SiNo) == Risposta::Si)
                break;
            Interrompi = false;
        }
        if (Cedi)
            Cedi();
        ControlloItem(li);
    }
    Interrompi = false;
    LstTask.RendiVisibile(0);
    int pos = 0;
    while (pos < LstTask.Conta()) {
        if (LstTask.Riga(pos).Spuntata)
            ++pos;
        else
            LstTask.Rimuovi(pos);
    }
    if (LstTask.Conta() == 0)
        ImpostaTxtDett(QStringLiteral("Nessun problema riscontrato"));
    else
        LstTask.Seleziona(0);
}

void Manutenzione::ControlloItem(int li)
{
    if (li < 0 || li >= LstTask.Conta() || !LstTask.Riga(li).Spuntata)
        return;
    const QString tipo = Task(li).Tipo;
    ImpostaStato(li, kStatoCtrl);
    LstTask.RendiVisibile(li);
    if (tipo == QLatin1String("EN") || tipo == QLatin1String("ENP"))
        ControlloEliminaNull(*this, li);
    else if (tipo == QLatin1String("ENC"))
        ControlloEliminaRecup(*this, li);
    else if (tipo == QLatin1String("ST"))
        StrutturaTabella(*this, li);
    if (Task(li).Stato == kStatoOk)
        LstTask.ImpostaSpunta(li, false);
}

}  // namespace corvale
