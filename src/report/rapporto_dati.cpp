#include "rapporto_dati.h"

#include "access/solo_lettura.h"
#include "safety/sessione_sicurezza.h"
#include "core/sessione.h"
#include "core/versione.h"
#include "checks/catalogo.h"
#include "core/manutenzione.h"
#include "core/valore.h"
#include "records/vista_correzione.h"

namespace corvale {

namespace {

// The text of the task's row; a row that the run removed is named again from the catalogue, which
// always adds the structure checks first and the data checks after them in a fixed order.
QString descrizione(Manutenzione& m, int indice, int primoDati)
{
    const QString chiave = QStringLiteral("%1K").arg(indice, 4, 10, QLatin1Char('0'));
    const int li = m.LstTask.Trova(chiave);
    if (li >= 0)
        return m.LstTask.Riga(li).Testo;
    const DatiTask& t = m.ElencoTask[size_t(indice)];
    if (t.Genere() == GenereTask::Struttura)
        return DescrizioneStruttura(t.P[0]);
    const int k = indice - primoDati;
    const auto& voci = VociCatalogo();
    return (k >= 0 && k < int(voci.size())) ? voci[size_t(k)].Descrizione : QString();
}

EsitoTask esito(const DatiTask& t)
{
    if (t.Stato == kStatoOk)
        return EsitoTask::Superato;
    if (t.Stato != kStatoPrb)
        return EsitoTask::NonEseguito;
    if (t.Genere() == GenereTask::Struttura)
        return ValIntero16(t.P[1]) > 1 ? EsitoTask::Problemi : EsitoTask::NonEseguibile;
    return t.Correggibile == QLatin1String("N") ? EsitoTask::NonEseguibile : EsitoTask::Problemi;
}

void differenze(const Sessione& s, const DatiTask& t, TaskRapporto& r)
{
    const int n = ValIntero16(t.P[1]);
    for (int i = 2; i <= n && i < NumParametri; ++i)
        r.Differenze << DescriviDifferenza(s.DbMaster, s.DbArchivi, t.P[0], t.P[i]);
    r.Troncate = n >= NumParametri - 1;
}

// The first records of the check's own query, read as the grid reads them.
void recordProblema(const Sessione& s, const DatiTask& t, TaskRapporto& r)
{
    TaskCorrezione task;
    task.Tipo = t.Tipo;
    task.P = QStringList(t.P.begin(), t.P.end());
    try {
        if (s.DbArchivi.isNull())
            throw dbe::DbError::make(dbe::err::ObjectInvalid);
        dbe::Recordset rs = s.DbArchivi.OpenRecordset(SqlRecordProblema(task));
        for (int c = 0; c < rs.FieldCount(); ++c) {
            r.Colonne << rs.FieldName(c);
            r.TipiColonne << rs.FieldType(c);
        }
        r.TotaleRecord = rs.RecordCount();
        if (r.TotaleRecord > 0)
            rs.MoveFirst();
        while (!rs.Eof() && r.Righe.size() < kRecordPerControllo) {
            QVariantList valori;
            for (int c = 0; c < r.Colonne.size(); ++c)
                valori << rs.Value(c);
            r.Righe << valori;
            rs.MoveNext();
        }
        rs.Close();
    } catch (const dbe::DbError& e) {
        // Whatever the error, the report says it in place of the records.
        r.ErroreRecord = e.description();
    }
}

}  // namespace

QString VersioneProgramma()
{
#ifdef CORVALE_VERSIONE
    return QStringLiteral(CORVALE_VERSIONE);
#else
    return QString();
#endif
}

RapportoControllo RaccogliRapporto(Manutenzione& m, const QDateTime& momento)
{
    const Sessione& s = m.sessione();
    RapportoControllo r;
    r.Archivio = s.DbArchivi.isNull() ? PercorsoArchivio(s.PathArchivi) : access::FileAperto(s.DbArchivi);
    r.Master = s.DbMaster.isNull() ? s.PercorsoMaster() : access::FileAperto(s.DbMaster);
    try {
        if (!s.DbArchivi.isNull())
            r.VersioneArchivio = LeggiVersioneDb(s.DbArchivi, false);
    } catch (const dbe::DbError&) {
        // A stamp that cannot be read is shown empty: the report still lists the run's outcomes.
    }
    r.VersioneMaster = s.VersioneMaster;
    r.AvvisoVersioni = s.VersioneMaster.isEmpty() ? AvvisoVersioneMasterAssente().trimmed()
                                                  : AvvisoVersioni(s.VersioneMaster, r.VersioneArchivio);
    r.AvvisoDanno = AvvisoArchivioDanneggiato(s);
    r.ValoriIlleggibili = m.ValoriIlleggibili;
    r.Momento = momento;
    r.VersioneProgramma = VersioneProgramma();

    int primoDati = 1;
    while (primoDati <= m.NumTask && m.ElencoTask[size_t(primoDati)].Genere() == GenereTask::Struttura)
        ++primoDati;
    for (int i = 1; i <= m.NumTask && i <= MaxTask; ++i) {
        const DatiTask& t = m.ElencoTask[size_t(i)];
        TaskRapporto tr;
        tr.Chiave = QStringLiteral("%1K").arg(i, 4, 10, QLatin1Char('0'));
        tr.Descrizione = descrizione(m, i, primoDati);
        tr.Tipo = t.Tipo;
        tr.Stato = t.Stato;
        tr.Dettaglio = t.Dettaglio;
        tr.Esito = esito(t);
        if (tr.Esito == EsitoTask::Problemi) {
            if (tr.Strutturale())
                differenze(s, t, tr);
            else
                recordProblema(s, t, tr);
        }
        r.Task << tr;
    }
    return r;
}

}  // namespace corvale
