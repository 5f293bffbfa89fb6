// corvale-cli correggi-struttura: every correction of every structure task with problems, applied
// through the same dispatcher as the maintenance window's "Esegui", as an operator who ticks every
// row; then the structure is checked again. Each row is printed with its outcome and, when it
// failed, the engine's error that stopped it. Exit 0 when no structure problem remains, 1
// otherwise, 2 when a database cannot be opened, or when the corrections stop part-way (the archive
// cannot be opened again between two corrections, or another program keeps it locked for writing):
// the output then says how many rows of that table were done, failed and not run, and which
// structure checks after it were neither run nor corrected.
#include "ambiente_cli.h"
#include "sicurezza_cli.h"
#include "comandi.h"

#include "checks/ciclo_controllo.h"
#include "core/sessione.h"
#include "core/operatore.h"
#include "core/manutenzione.h"
#include "safety/sessione_sicurezza.h"
#include "structure/correzioni_struttura.h"

#include <QTextStream>

namespace corvale::cli {

namespace {

// Runs the structure check of row li again, as "Controlla" does for a ticked row.
void Ricontrolla(Manutenzione& m, int li)
{
    m.LstTask.ImpostaSpunta(li, true);
    ControlloItem(m, li);
}

}  // namespace

int ComandoCorreggiStruttura(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    OpzioniArchivi o;
    QString errore;
    QStringList args = argomenti;
    const bool senzaCopia = TogliSenzaCopia(args);
    if (!LeggiOpzioni(args, o, errore, false)) {
        err << errore
            << "\nUso: corvale-cli correggi-struttura [--programma CARTELLA] [--archivio CARTELLA] "
               "[--master FILE]\n";
        return kEsitoNonEseguito;
    }
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    PreparaSicurezzaCli(s, senzaCopia);
    const int apertura = ApriArchiviPerCorreggere(s, o, errore);
    if (apertura != kEsitoRiuscito) {
        err << errore << "\n";
        return apertura;
    }

    Manutenzione m(s);
    CollegaCorrezioniStruttura(m);
    if (!CaricaCatalogo(m, err))
        return kEsitoNonEseguito;

    QList<int> struttura;
    for (int li = 0; li < m.LstTask.Conta(); ++li)
        if (m.Task(li).Genere() == GenereTask::Struttura)
            struttura << li;

    Progresso progresso;
    for (int i = 0; i < struttura.size(); ++i) {
        const int li = struttura[i];
        progresso.Mostra(QStringLiteral("Struttura: ") + m.LstTask.Riga(li).Testo, i, struttura.size());
        Ricontrolla(m, li);
        if (m.Task(li).Stato != kStatoPrb)
            continue;
        progresso.Chiudi();
        // The safety gate before the first correction; a refusal was told.
        if (!PrimaDellaModifica(s))
            return kEsitoNonEseguito;
        out << m.LstTask.Riga(li).Testo << "\n";
        m.LstTask.Seleziona(li);
        AttivaCorrezioneStruttura(m);
        const EsitoCorrezioniStruttura esito =
            GestisciCorrezioneStruttura(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
        for (int r = 0; r < m.LstStruct.Conta(); ++r) {
            const RigaLista& riga = m.LstStruct.Riga(r);
            out << "  " << riga.Testo << "\t" << riga.TestoStato;
            if (!riga.Nota.isEmpty())
                out << "\t" << riga.Nota;
            out << "\n";
        }
        out.flush();
        progresso.Chiudi();
        // The run stopped inside this table (the dispatcher said why): the tables after it are
        // neither checked nor corrected, and the output says which.
        if (esito.interrotta || s.DbArchivi.isNull() || !s.DbArchivi.IsOpen()) {
            QStringList restanti;
            for (int j = i + 1; j < struttura.size(); ++j)
                restanti << m.LstTask.Riga(struttura[j]).Testo;
            out << "Correzioni interrotte: " << RiepilogoCorrezioni(m.Task(li).P[0], esito) << "\n";
            if (!restanti.isEmpty())
                out << "Non controllate e non corrette: " << restanti.join(QStringLiteral(", ")) << "\n";
            return kEsitoNonEseguito;
        }
    }

    progresso.Chiudi();
    bool restano = false;
    for (int li : struttura) {
        Ricontrolla(m, li);
        const DatiTask& t = m.Task(li);
        if (t.Stato == kStatoOk)
            continue;
        restano = true;
        out << "Restano problemi: " << m.LstTask.Riga(li).Testo << "\t" << SuUnaRiga(t.Dettaglio) << "\n";
    }
    if (!restano)
        out << "Nessun problema di struttura riscontrato.\n";
    return restano ? kEsitoProblemi : kEsitoRiuscito;
}

}  // namespace corvale::cli
