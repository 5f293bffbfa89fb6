#include "correzione_enp.h"

#include "correzione_en.h"
#include "ricerca_chiave.h"

#include "core/sessione.h"
#include "safety/modifica_registrata.h"
#include "safety/sessione_sicurezza.h"

namespace corvale {

QString MessaggioRigheNonCorrette(qint64 n)
{
    return QStringLiteral("Impossibile correggere %1 record: chiavi non utilizzabili o "
                          "eliminazione non consentita.")
        .arg(n);
}

namespace {

enum class Esito { Corretta, Saltata, Abbandonata, Lasciata };

// Another program holds the archive: every later row would wait as long again, so the walk stops.
bool Bloccato(const dbe::DbError& e)
{
    return e.number() == dbe::err::CouldNotUpdateLocked || e.number() == dbe::err::TableLocked;
}

// Deletes, in P(1), the records behind the current row of DtRow.
Esito CorreggiRiga(VistaCorrezione& v, const QString& tabella, const QStringList& campi, ModificaRegistrata& voce)
{
    QVector<ValoreChiave> chiavi;
    try {
        chiavi.append({campi.first(), v.DtRow.FieldType(campi.first()), v.DtRow.Value(campi.first())});
    } catch (const dbe::DbError& e) {
        if (FallimentoDefinitivo(e))
            throw;
        // The row's record went with an earlier row's deletion.
        return e.number() == dbe::err::RecordDeleted ? Esito::Saltata : Esito::Abbandonata;
    }
    // The row's records must still hold what the grid listed: a record another program changed or
    // replaced since (a new one may hold its row number and its key) is left alone.
    switch (dbe::CurrentRowState(v.DtRow)) {
    case dbe::RowState::Gone: return Esito::Saltata;
    case dbe::RowState::Changed: return Esito::Lasciata;
    case dbe::RowState::Same: break;
    }
    dbe::Recordset ricerca;
    try {
        for (int i = 1; i < campi.size(); ++i)
            chiavi.append({campi.at(i), v.DtRow.FieldType(campi.at(i)), v.DtRow.Value(campi.at(i))});
        const std::optional<QString> sql = CreaSqlRicerca(tabella, chiavi);
        if (!sql)
            return Esito::Abbandonata;
        ricerca = v.sessione().DbArchivi.OpenRecordset(*sql);
        if (ricerca.RecordCount() > 0) {
            // Every record found must carry the row's key: otherwise the lookup selected something
            // the key did not mean, and nothing is deleted for this row.
            ricerca.MoveFirst();
            while (!ricerca.Eof()) {
                for (const ValoreChiave& k : chiavi) {
                    if (!StessaChiave(ricerca.Value(CampoTabella(k.Nome)), k.Valore)) {
                        ricerca.Close();
                        return Esito::Abbandonata;
                    }
                }
                ricerca.MoveNext();
            }
            // Each delete checks that the record still holds what the lookup read.
            while (ricerca.RecordCount() > 0) {
                ricerca.MoveLast();
                voce.Record(ricerca);
                ricerca.Delete();
            }
        }
        ricerca.Close();
        return Esito::Corretta;
    } catch (const dbe::DbError& e) {
        try {
            if (!ricerca.isNull() && ricerca.IsOpen())
                ricerca.Close();
        } catch (const dbe::DbError&) {
            // Swallowed: the row's own error, handled below, is the one that counts.
        }
        if (Bloccato(e) || FallimentoDefinitivo(MotivoFermata(e, voce)))
            throw;
        return Esito::Abbandonata;
    }
}

}  // namespace

void GestisciCorrezioneENP(VistaCorrezione& v, const TaskCorrezione& task)
{
    if (v.Selezione.Count() == 0 || v.DtRow.isNull()) {
        v.sessione().operatore().Mostra(kNessunRecord);
        return;
    }
    if (v.sessione().operatore().Mostra(kDomandaElimina, Pulsanti::SiNo) != Risposta::Si)
        return;
    if (!PrimaDellaModifica(v.sessione()))
        return;
    ModificaRegistrata voce(v.sessione(), tipo_modifica::Elimina, task.Param(1), task.Chiave, task.Descrizione);
    const qint64 n = v.Selezione.Count();
    qint64 abbandonate = 0;
    qint64 lasciate = 0;
    QString errore;
    {
        v.Barra->ImpostaValore(0);
        v.Barra->ImpostaMassimo(n);
        v.Barra->Mostra(true);
        const QStringList campi = CampiChiave(task);
        ClessidraAccesa clessidra(v.sessione().operatore());
        if (campi.isEmpty()) {
            abbandonate = n;
        } else {
            try {
                for (qint64 j = 0; j < n; ++j) {
                    bool posizionata = true;
                    try {
                        v.DtRow.SetBookmark(v.Selezione.Item(j));
                    } catch (const dbe::DbError&) {
                        // Any number: a row the grid can no longer reach (its bookmark no longer
                        // valid, its record gone) is left alone and counted, like a row abandoned;
                        // a lasting failure meets the walk again at the next row's write.
                        posizionata = false;
                    }
                    v.Barra->Avanza();
                    const Esito esito = posizionata ? CorreggiRiga(v, task.Param(1), campi, voce) : Esito::Abbandonata;
                    if (esito == Esito::Abbandonata)
                        ++abbandonate;
                    if (esito == Esito::Lasciata) {
                        ++lasciate;
                        voce.Lasciato(DescriviRiga(v.DtRow));
                    }
                }
            } catch (const dbe::DbError& errato) {
                // Every engine error stops the walk: the rows done so far stay done and journaled,
                // and the operator is told why it stopped, whatever the number.
                const dbe::DbError e = MotivoFermata(errato, voce);
                errore = MessaggioErrore(QStringLiteral("Impossibile completare la correzione."), e);
                voce.Fermata(e.description());
            }
        }
        const QString sincronia = SincronizzaArchivio(v.sessione().DbArchivi);
        if (errore.isEmpty())
            errore = sincronia;
        RieseguiDtRow(v);
        v.Barra->Mostra(false);
    }
    if (!errore.isEmpty())
        v.sessione().operatore().Mostra(errore);
    else if (abbandonate > 0 || lasciate > 0) {
        QStringList testo;
        if (abbandonate > 0)
            testo << MessaggioRigheNonCorrette(abbandonate);
        if (lasciate > 0)
            testo << MessaggioLasciati(lasciate);
        v.sessione().operatore().Mostra(testo.join(QLatin1Char('\r')));
    }
}

}  // namespace corvale
