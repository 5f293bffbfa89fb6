// corvale-cli correggi KEY (--elimina | --associa VALUE | --associa-chiave CODE | --fisso): the record
// correction of one data check, through the same set-up, select-all and corrections as the
// problem-record view, with every problem record selected and every question answered Yes. VALUE
// is a master record as the combo box lists it (field P(4)); when it names more than one record
// nothing changes and they are listed with their codes (the master's key field P(3)), one of
// which --associa-chiave then chooses. The task is checked before and after; its state text and
// detail are printed. Exit 0 when the task now passes, 1 when problems remain, 2 on an error.
#include "ambiente_cli.h"
#include "sicurezza_cli.h"
#include "comandi.h"

#include "core/sessione.h"
#include "core/operatore.h"
#include "core/manutenzione.h"
#include "checks/valori_illeggibili.h"
#include "records/task_correzione.h"
#include "records/correzione_en.h"
#include "records/correzione_enp.h"
#include "records/testo_valore.h"
#include "records/vista_correzione.h"
#include "safety/sessione_sicurezza.h"

#include <QTextStream>

namespace corvale::cli {

namespace {

const char* kUso = "Uso: corvale-cli correggi CHIAVE (--elimina | --associa VALORE | --associa-chiave CODICE | "
                   "--fisso) [--senza-copia] [--programma CARTELLA] [--archivio CARTELLA] [--master FILE]\n";

struct Richiesta {
    QString chiave;
    int opzione = -1;
    QString valore;  // --associa or --associa-chiave
    bool perCodice = false;  // --associa-chiave: valore is the master record's code
};

// The combo box entry the request names: the one whose text is the value (--associa) or whose
// master record has the code (--associa-chiave; letters in any case, the exact spelling first when
// several differ only so). -1, with the message in errore, when there is none or more than one;
// several are listed with their codes so that one can be chosen.
int VoceRichiesta(VistaCorrezione& v, const TaskCorrezione& task, const Richiesta& r, QString& errore)
{
    const QString campoChiave = task.Param(3);
    auto codice = [&](int i) {
        v.DtColl.SetBookmark(v.VociCombo.at(i).Segnalibro);
        return TestoValore(v.DtColl.Value(campoChiave));
    };
    QVector<int> trovate, esatte;
    for (int i = 0; i < v.VociCombo.size(); ++i) {
        const QString testo = r.perCodice ? codice(i) : v.VociCombo.at(i).Testo;
        if (r.perCodice ? testo.compare(r.valore, Qt::CaseInsensitive) == 0 : testo == r.valore)
            trovate.append(i);
        if (testo == r.valore)
            esatte.append(i);
    }
    if (trovate.size() > 1 && esatte.size() == 1)
        trovate = esatte;
    if (trovate.size() == 1 && !r.valore.isEmpty())
        return trovate.first();
    if (trovate.isEmpty() || r.valore.isEmpty()) {
        errore = r.perCodice ? QStringLiteral("Codice non presente in %1: %2\n").arg(task.Param(1), r.valore)
                             : QStringLiteral("Valore non presente nell'elenco: %1\n").arg(r.valore);
        return -1;
    }
    errore = QStringLiteral("Il valore '%1' corrisponde a %2 record di %3: nessuna modifica. Indicare quale "
                            "associare con --associa-chiave seguito dal codice (%4):\n")
                 .arg(r.valore)
                 .arg(trovate.size())
                 .arg(task.Param(1), campoChiave);
    for (const int i : std::as_const(trovate))
        errore += QStringLiteral("  %1\t%2\n").arg(codice(i), v.VociCombo.at(i).Testo);
    return -1;
}

// Takes KEY and the action out of args; what is left are the archive options.
bool LeggiRichiesta(QStringList args, Richiesta& r, QStringList& resto, QString& errore)
{
    int azioni = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--elimina")) {
            r.opzione = OptElimina;
            ++azioni;
        } else if (a == QLatin1String("--fisso")) {
            r.opzione = OptFisso;
            ++azioni;
        } else if (a == QLatin1String("--associa") || a == QLatin1String("--associa-chiave")) {
            if (i + 1 >= args.size()) {
                errore = QStringLiteral("Valore mancante per %1.").arg(a);
                return false;
            }
            r.opzione = OptAssocia;
            r.perCodice = a == QLatin1String("--associa-chiave");
            r.valore = args[++i];
            ++azioni;
        } else if (a == QLatin1String("--programma") || a == QLatin1String("--archivio")
                   || a == QLatin1String("--master")) {
            resto << a;
            if (i + 1 < args.size())
                resto << args[++i];
        } else if (!a.startsWith(QLatin1String("--")) && r.chiave.isEmpty()) {
            r.chiave = a;
        } else {
            resto << a;
        }
    }
    if (r.chiave.isEmpty()) {
        errore = QStringLiteral("Chiave del controllo mancante.");
        return false;
    }
    if (azioni != 1) {
        errore = QStringLiteral(
            "Indicare una sola correzione: --elimina, --associa VALORE, --associa-chiave CODICE o --fisso.");
        return false;
    }
    return true;
}

// The row of the task keyed `chiave` (any case) if it is a check on records; otherwise -1, with the
// reason on err.
int TaskSuiRecord(Manutenzione& m, const QString& chiave, QTextStream& err)
{
    int li = -1;
    for (int i = 0; i < m.LstTask.Conta(); ++i) {
        if (m.LstTask.Riga(i).Chiave.compare(chiave, Qt::CaseInsensitive) == 0)
            li = i;
    }
    if (li < 0) {
        err << "Controllo sconosciuto: " << chiave << "\n";
        return -1;
    }
    if (!SuiRecord(GenereDi(m.Task(li).Tipo))) {
        err << "Il controllo " << chiave << " non riguarda i record: nessuna correzione dei record.\n";
        return -1;
    }
    return li;
}

// The problem-record view opened as the window opens it, with the requested option (and for
// --associa its entry) chosen and every record selected; false, with the reason on err, when the
// records cannot be read or the check does not offer that option.
bool PreparaVista(VistaCorrezione& v, const TaskCorrezione& task, const Richiesta& r, QTextStream& err)
{
    try {
        ApriCorrezioneRecord(v, task);
    } catch (const dbe::DbError& e) {
        err << "Impossibile visualizzare i record del controllo.\n" << e.description() << "\n";
        return false;
    }
    if (!v.OpzioneVisibile[r.opzione]) {
        err << (r.opzione == OptFisso ? "Il controllo non prevede un valore fisso da associare.\n"
                                      : "Il controllo consente solo l'eliminazione dei record.\n");
        return false;
    }
    v.Opzione = r.opzione;
    if (r.opzione == OptAssocia) {
        int voce = -1;
        QString errore;
        try {
            voce = VoceRichiesta(v, task, r, errore);
        } catch (const dbe::DbError& e) {
            // Reported with the records' table, whatever the number; voce stays negative.
            errore = QStringLiteral("Impossibile leggere i record di %1.\n%2\n").arg(task.Param(1), e.description());
        }
        if (voce < 0) {
            err << errore;
            return false;
        }
        ScegliVoceCombo(v, voce);
        v.TestoCombo = v.VociCombo.at(voce).Testo;
    }
    SelezionaTutti(v);
    return true;
}

}  // namespace

int ComandoCorreggi(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    Richiesta r;
    QStringList resto;
    OpzioniArchivi o;
    QString errore;
    QStringList argomenti = args;
    const bool senzaCopia = TogliSenzaCopia(argomenti);
    if (!LeggiRichiesta(argomenti, r, resto, errore) || !LeggiOpzioni(resto, o, errore, false)) {
        err << errore << "\n" << kUso;
        return kEsitoNonEseguito;
    }
    // No operator here: every question is answered Yes (the command is the request); every
    // notice goes to stderr.
    OperatoreRiga operatore(Risposta::Si);
    Sessione s(operatore);
    PreparaSicurezzaCli(s, senzaCopia);
    const int apertura = ApriArchiviPerCorreggere(s, o, errore);
    if (apertura != kEsitoRiuscito) {
        err << errore << "\n";
        return apertura;
    }
    const QString avviso = AvvisoVersione(s.VersioneMaster, LeggiVersioneDbSolaLettura(s));
    if (!avviso.isEmpty())
        err << SuUnaRiga(avviso) << "\n";
    err.flush();

    Manutenzione m(s);
    if (!CaricaCatalogo(m, err))
        return kEsitoNonEseguito;
    const int li = TaskSuiRecord(m, r.chiave, err);
    if (li < 0)
        return kEsitoNonEseguito;
    const QString tipo = m.Task(li).Tipo;
    auto stampa = [&] {
        const DatiTask& t = m.Task(li);
        const RigaLista& riga = m.LstTask.Riga(li);
        out << riga.Chiave << "\t" << riga.Testo << "\t" << riga.TestoStato << "\t" << SuUnaRiga(t.Dettaglio) << "\n";
        out.flush();
        return t.Stato == kStatoOk ? kEsitoRiuscito : kEsitoProblemi;
    };

    // The window opens the view only for a task whose check ran and found problems.
    m.ImpostaStato(li, kStatoStart);
    RicontrollaTask(m, li);
    if (m.Task(li).Correggibile == QLatin1String("N")) {
        stampa();
        err << "Il controllo non può essere eseguito: nessuna correzione.\n";
        return kEsitoNonEseguito;
    }
    if (m.Task(li).Stato == kStatoOk)
        return stampa();

    const TaskCorrezione task = TaskDaManutenzione(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
    AvanzamentoRiga barra(QStringLiteral("Correzione dei record"));
    VistaCorrezione v(s);
    v.Barra = &barra;
    if (!PreparaVista(v, task, r, err))
        return kEsitoNonEseguito;
    // The safety gate (integrity check, safety copy) before the first change; a refusal was told.
    if (!PrimaDellaModifica(s))
        return kEsitoNonEseguito;
    if (GenereDi(tipo) == GenereTask::RecordAccoppiati)
        GestisciCorrezioneENP(v, task);
    else
        GestisciCorrezioneEN(v, task);
    err.flush();

    RicontrollaTask(m, li);
    return stampa();
}

}  // namespace corvale::cli
