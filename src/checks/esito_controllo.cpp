#include "esito_controllo.h"

#include "core/sessione.h"
#include "dbengine/dbengine.h"
#include "core/manutenzione.h"

#include <exception>

namespace corvale {

const QString kDettaglioNonEseguibile =
    QStringLiteral("Impossibile eseguire il controllo... probabile errore di definizione struttura.");

QString DettaglioRilevati(qint64 numero)
{
    return QStringLiteral("Rilevati ") + QString::number(numero) + QStringLiteral(" record nulli o scollegati");
}

void EseguiConteggio(Manutenzione& m, int li, const QString& sql, const std::function<void(dbe::Recordset&)>& verifica)
{
    dbe::Recordset rs;
    try {
        if (m.sessione().DbArchivi.isNull())
            throw dbe::DbError::make(dbe::err::ObjectInvalid);
        rs = m.sessione().DbArchivi.OpenRecordset(sql);
        if (rs.RecordCount() == 0) {
            m.ImpostaStato(li, kStatoOk);
            m.Task(li).Correggibile.clear();
        } else {
            if (verifica)
                verifica(rs);
            m.ImpostaStato(li, kStatoPrb);
            rs.MoveLast();
            DatiTask& t = m.Task(li);
            t.Correggibile.clear();
            t.Dettaglio = DettaglioRilevati(rs.RecordCount());
        }
        rs.Close();
    } catch (const std::exception&) {
        if (!rs.isNull()) {
            try {
                rs.Close();
            } catch (const std::exception&) {
                // Already on a failure: the check's state says so; a failed close adds nothing.
            }
        }
        m.ImpostaStato(li, kStatoPrb);
        DatiTask& t = m.Task(li);
        t.Correggibile = QStringLiteral("N");
        t.Dettaglio = kDettaglioNonEseguibile;
    }
}

}  // namespace corvale
