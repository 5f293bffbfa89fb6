#include "esito_controllo.h"

#include "core/sessione.h"
#include "dbengine/dbengine.h"
#include "core/manutenzione.h"

#include <exception>

namespace corvale {

const QString kDettaglioNonEseguibile =
    QStringLiteral("Impossibile eseguire il controllo... probabile errore di definizione struttura.");

namespace {

const QString kTutti = QStringLiteral("SELECT * FROM ");

// Where the query's own WHERE begins (the last one outside quotes and parentheses); -1 without one.
qsizetype whereEsterno(const QString& sql)
{
    qsizetype trovato = -1;
    int livello = 0;
    QChar virgolette;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!virgolette.isNull()) {
            if (c == virgolette)
                virgolette = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            virgolette = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        } else if (c == QLatin1Char('(')) {
            ++livello;
        } else if (c == QLatin1Char(')')) {
            --livello;
        } else if (livello == 0 && i > 0 && sql[i - 1].isSpace()
                   && sql.mid(i, 5).compare(QLatin1String("WHERE"), Qt::CaseInsensitive) == 0
                   && (i + 5 == sql.size() || sql[i + 5].isSpace() || sql[i + 5] == QLatin1Char('('))) {
            trovato = i;
        }
    }
    return trovato;
}

// The same query with a condition no record meets: its record set has the fields of the real one
// and lists nothing.
QString senzaRecord(const QString& sql)
{
    const qsizetype w = whereEsterno(sql);
    if (w < 0)
        return sql + QStringLiteral(" WHERE 1=0");
    return sql.left(w) + QStringLiteral("WHERE (") + sql.mid(w + 5) + QStringLiteral(") AND 1=0");
}

// How many records sql lists. A query over the whole of its source ("SELECT * FROM ...") is
// counted by the engine itself: the count reads only the fields its conditions need, often from an
// index alone, and lists no record.
qint64 conta(const dbe::Database& db, const QString& sql)
{
    if (sql.startsWith(kTutti, Qt::CaseInsensitive)) {
        dbe::Recordset rs =
            db.OpenRecordset(QStringLiteral("SELECT COUNT(*) FROM ") + sql.mid(kTutti.size()), dbe::dbOpenSnapshot);
        const qint64 n = rs.Value(0).toLongLong();
        rs.Close();
        return n;
    }
    dbe::Recordset rs = db.OpenRecordset(sql);
    const qint64 n = rs.RecordCount();
    rs.Close();
    return n;
}

}  // namespace

QString DettaglioRilevati(qint64 numero)
{
    return QStringLiteral("Rilevati ") + QString::number(numero) + QStringLiteral(" record nulli o scollegati");
}

void EseguiConteggio(Manutenzione& m, int li, const QString& sql, const std::function<void(dbe::Recordset&)>& verifica)
{
    dbe::Recordset rs;
    try {
        const dbe::Database& db = m.sessione().DbArchivi;
        if (db.isNull())
            throw dbe::DbError::make(dbe::err::ObjectInvalid);
        const qint64 n = conta(db, sql);
        if (n == 0) {
            m.ImpostaStato(li, kStatoOk);
            m.Task(li).Correggibile.clear();
        } else {
            if (verifica) {
                // The fields are those of the query's record set, which need no record listed.
                rs = db.OpenRecordset(senzaRecord(sql));
                verifica(rs);
                rs.Close();
            }
            m.ImpostaStato(li, kStatoPrb);
            DatiTask& t = m.Task(li);
            t.Correggibile.clear();
            t.Dettaglio = DettaglioRilevati(n);
        }
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
