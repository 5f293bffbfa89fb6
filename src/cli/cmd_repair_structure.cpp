// corvale-cli repair-structure: every correction of every structure task with problems, applied
// through the same dispatcher as the maintenance window's "Esegui", as an operator who ticks every
// row; then the structure is checked again. Exit 0 when no structure problem remains, 1 otherwise,
// 2 when a database cannot be opened.
#include "ambiente_cli.h"
#include "comandi.h"

#include "core/sessione.h"
#include "core/operatore.h"
#include "core/manutenzione.h"
#include "structure/correzioni_struttura.h"

#include <QTextStream>

namespace corvale::cli {

namespace {

// Runs the structure check of row li again, as "Controlla" does for a ticked row.
void Ricontrolla(Manutenzione& m, int li)
{
    m.LstTask.ImpostaSpunta(li, true);
    m.ControlloItem(li);
}

}  // namespace

int ComandoRepairStructure(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    OpzioniArchivi o;
    QString errore;
    if (!LeggiOpzioni(args, o, errore, false)) {
        err << errore << "\nUso: corvale-cli repair-structure [--home CARTELLA] [--archive CARTELLA] "
                         "[--master FILE]\n";
        return 2;
    }
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    const int apertura = ApriArchiviPerCorreggere(s, o, errore);
    if (apertura != 0) {
        err << errore << "\n";
        return apertura;
    }

    Manutenzione m(s);
    CollegaCorrezioniStruttura(m);
    if (!CaricaCatalogo(m, err))
        return 2;

    QList<int> struttura;
    for (int li = 0; li < m.LstTask.Conta(); ++li)
        if (m.Task(li).Tipo == QLatin1String("ST"))
            struttura << li;

    for (int li : struttura) {
        Ricontrolla(m, li);
        if (m.Task(li).Stato != kStatoPrb)
            continue;
        out << m.LstTask.Riga(li).Testo << "\n";
        m.LstTask.Seleziona(li);
        AttivaCorrezioneStruttura(m);
        GestisciCorrezioneStruttura(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
        for (int r = 0; r < m.LstStruct.Conta(); ++r)
            out << "  " << m.LstStruct.Riga(r).Testo << "\t" << m.LstStruct.Riga(r).TestoStato << "\n";
        out.flush();
    }

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
    return restano ? 1 : 0;
}

}  // namespace corvale::cli
