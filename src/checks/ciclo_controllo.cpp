// The run loop: AvviaControllo walks the ticked rows of the task list, one yield per row, with
// the interruption question before a row when Interrompi is set, and trims the list at the end;
// ControlloItem runs one task by its type.
#include "checks/controllo_null.h"
#include "checks/controllo_recup.h"
#include "checks/valori_illeggibili.h"
#include "core/sessione.h"
#include "core/manutenzione.h"
#include "safety/sessione_sicurezza.h"
#include "structure/struttura_tabella.h"

#include "dbengine/dbengine.h"

#include <QElapsedTimer>

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
    // The first run of the session verifies the indexes, so that a damage its counts would hide is
    // said with them.
    VerificaPrimaDeiControlli(sessione());
    QList<int> eseguiti;  // the tasks this run comes to: their counts get the unreadable values' note
    const int righe = LstTask.Conta();
    for (int li = 0; li < righe && li < LstTask.Conta(); ++li) {
        MostraAvanzamento(li);
        if (Interrompi && ChiediInterruzione())
            break;
        if (Cedi)
            Cedi();
        if (LstTask.Riga(li).Spuntata)
            eseguiti << Id(LstTask.Riga(li).Chiave);
        if (!controlloInAscolto(li))
            break;
    }
    Interrompi = false;
    SegnalaValoriIlleggibili(*this, eseguiti);
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
    // The counts of a damaged archive may be wrong: said after the run.
    const QString danneggiato = AvvisoArchivioDanneggiato(sessione());
    if (!danneggiato.isEmpty())
        sessione().operatore().Mostra(danneggiato);
    const QString illeggibili = AvvisoValoriIlleggibili(ValoriIlleggibili);
    if (!illeggibili.isEmpty())
        sessione().operatore().Mostra(illeggibili);
}

bool Manutenzione::ChiediInterruzione()
{
    if (sessione().operatore().Mostra(QStringLiteral("Interrompere l'analisi ?"), Pulsanti::SiNo) == Risposta::Si)
        return true;
    Interrompi = false;
    return false;
}

// Row li's check, with the window kept answering while the engine works: a close request taken in
// during a query is asked about there and then, and Yes stops the query. The stopped row is left as
// the loop leaves the rows it never came to: ticked, "Da Eseguire", its record as it was. False
// when the operator stopped the run.
bool Manutenzione::controlloInAscolto(int li)
{
    const DatiTask prima = Task(li);
    bool fermato = false;
    QElapsedTimer orologio;
    orologio.start();
    const auto ascolta = [&] {
        if (!fermato && orologio.elapsed() >= IntervalloRisposta) {
            if (Rispondi)
                Rispondi();
            if (Interrompi)
                fermato = ChiediInterruzione();
            orologio.restart();
        }
        return fermato;
    };
    {
        dbe::ProgressWatch archivio(sessione().DbArchivi, ascolta);
        dbe::ProgressWatch master(sessione().DbMaster, ascolta);
        ControlloItem(li);
    }
    if (!fermato)
        return true;
    Task(li) = prima;
    ImpostaStato(li, kStatoStart);
    LstTask.ImpostaSpunta(li, true);
    return false;
}

void Manutenzione::ControlloItem(int li)
{
    if (li < 0 || li >= LstTask.Conta() || !LstTask.Riga(li).Spuntata)
        return;
    const QString tipo = Task(li).Tipo;
    ImpostaStato(li, kStatoCtrl);
    LstTask.RendiVisibile(li);
    if (GenereDi(tipo) == GenereTask::RecordNulli || GenereDi(tipo) == GenereTask::RecordAccoppiati)
        ControlloEliminaNull(*this, li);
    else if (GenereDi(tipo) == GenereTask::RecordOrfani)
        ControlloEliminaRecup(*this, li);
    else if (GenereDi(tipo) == GenereTask::Struttura)
        StrutturaTabella(*this, li);
    if (Task(li).Stato == kStatoOk)
        LstTask.ImpostaSpunta(li, false);
}

}  // namespace corvale
