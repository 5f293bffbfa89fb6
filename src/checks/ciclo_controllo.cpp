#include "ciclo_controllo.h"

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

void MostraAvanzamento(Manutenzione& m, int li)
{
    m.ImpostaLblStat(QStringLiteral("Analisi dati in corso ...") + QChar(13) + QStringLiteral("[")
                     + m.LstTask.Riga(li).Testo + QStringLiteral("]"));
    if (m.Ridisegna)
        m.Ridisegna();
}

bool ChiediInterruzione(Manutenzione& m)
{
    if (m.sessione().operatore().Mostra(QStringLiteral("Interrompere l'analisi ?"), Pulsanti::SiNo) == Risposta::Si)
        return true;
    m.Interrompi = false;
    return false;
}

namespace {

// Row li's check, with the window kept answering while the engine works: a close request taken in
// during a query is asked about there and then, and Yes stops the query. The stopped row is left as
// the loop leaves the rows it never came to: ticked, "Da Eseguire", its record as it was. False
// when the operator stopped the run.
bool controlloInAscolto(Manutenzione& m, int li)
{
    const DatiTask prima = m.Task(li);
    bool fermato = false;
    QElapsedTimer orologio;
    orologio.start();
    const auto ascolta = [&] {
        if (!fermato && orologio.elapsed() >= m.IntervalloRisposta) {
            if (m.Rispondi)
                m.Rispondi();
            if (m.Interrompi)
                fermato = ChiediInterruzione(m);
            orologio.restart();
        }
        return fermato;
    };
    {
        dbe::ProgressWatch archivio(m.sessione().DbArchivi, ascolta);
        dbe::ProgressWatch master(m.sessione().DbMaster, ascolta);
        ControlloItem(m, li);
    }
    if (!fermato)
        return true;
    m.Task(li) = prima;
    m.ImpostaStato(li, kStatoStart);
    m.LstTask.ImpostaSpunta(li, true);
    return false;
}

}  // namespace

void AvviaControllo(Manutenzione& m)
{
    bool spuntate = false;
    for (int i = 0; i < m.LstTask.Conta() && !spuntate; ++i)
        spuntate = m.LstTask.Riga(i).Spuntata;
    if (!spuntate) {
        m.sessione().operatore().Mostra(QStringLiteral("Nessuna azione selezionata."));
        return;
    }
    // The first run of the session verifies the indexes, so that a damage its counts would hide is
    // said with them.
    VerificaPrimaDeiControlli(m.sessione());
    QList<int> eseguiti;  // the tasks this run comes to: their counts get the unreadable values' note
    const int righe = m.LstTask.Conta();
    for (int li = 0; li < righe && li < m.LstTask.Conta(); ++li) {
        MostraAvanzamento(m, li);
        if (m.Interrompi && ChiediInterruzione(m))
            break;
        if (m.Cedi)
            m.Cedi();
        if (m.LstTask.Riga(li).Spuntata)
            eseguiti << Manutenzione::Id(m.LstTask.Riga(li).Chiave);
        if (!controlloInAscolto(m, li))
            break;
    }
    m.Interrompi = false;
    SegnalaValoriIlleggibili(m, eseguiti);
    m.LstTask.RendiVisibile(0);
    int pos = 0;
    while (pos < m.LstTask.Conta()) {
        if (m.LstTask.Riga(pos).Spuntata)
            ++pos;
        else
            m.LstTask.Rimuovi(pos);
    }
    if (m.LstTask.Conta() == 0)
        m.ImpostaTxtDett(QStringLiteral("Nessun problema riscontrato"));
    else
        m.LstTask.Seleziona(0);
    // The counts of a damaged archive may be wrong: said after the run.
    const QString danneggiato = AvvisoArchivioDanneggiato(m.sessione());
    if (!danneggiato.isEmpty())
        m.sessione().operatore().Mostra(danneggiato);
    const QString illeggibili = AvvisoValoriIlleggibili(m.ValoriIlleggibili);
    if (!illeggibili.isEmpty())
        m.sessione().operatore().Mostra(illeggibili);
}

void ControlloItem(Manutenzione& m, int li)
{
    if (li < 0 || li >= m.LstTask.Conta() || !m.LstTask.Riga(li).Spuntata)
        return;
    const QString tipo = m.Task(li).Tipo;
    m.ImpostaStato(li, kStatoCtrl);
    m.LstTask.RendiVisibile(li);
    if (GenereDi(tipo) == GenereTask::RecordNulli || GenereDi(tipo) == GenereTask::RecordAccoppiati)
        ControlloEliminaNull(m, li);
    else if (GenereDi(tipo) == GenereTask::RecordOrfani)
        ControlloEliminaRecup(m, li);
    else if (GenereDi(tipo) == GenereTask::Struttura)
        StrutturaTabella(m, li);
    if (m.Task(li).Stato == kStatoOk)
        m.LstTask.ImpostaSpunta(li, false);
}

}  // namespace corvale
