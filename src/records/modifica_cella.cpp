#include "modifica_cella.h"

#include "vista_correzione.h"

#include "core/sessione.h"
#include "safety/modifica_registrata.h"
#include "safety/sessione_sicurezza.h"

namespace corvale {

namespace {

// The column of `tabella` (whose columns are `colonne`) that the record set's field `nome` shows,
// or empty when the field comes from another table. Over a join a field both tables have is named
// "TABLE.FIELD", the others by their bare name.
QString Colonna(const QString& nome, const QString& tabella, const QStringList& colonne)
{
    QString campo = nome;
    const qsizetype punto = nome.indexOf(QLatin1Char('.'));
    if (punto > 0 && colonne.indexOf(nome) < 0) {
        if (nome.left(punto).compare(tabella, Qt::CaseInsensitive) != 0)
            return QString();
        campo = nome.mid(punto + 1);
    }
    for (const QString& c : colonne) {
        if (c.compare(campo, Qt::CaseInsensitive) == 0)
            return c;
    }
    return QString();
}

}  // namespace

QVector<bool> CampiModificabili(const Sessione& s, dbe::Recordset& rs)
{
    QVector<bool> si;
    try {
        si.fill(false, rs.FieldCount());
        if (!rs.Updatable() || rs.ListedCount() == 0)  // the first part listed tells an empty set
            return si;
        rs.MoveFirst();
        const auto ref = dbe::CurrentRow(rs);
        if (!ref)
            return si;
        const auto riga = dbe::ReadStoredRow(s.DbArchivi, ref->table, ref->rowid);
        if (!riga)
            return si;
        for (int c = 0; c < si.size(); ++c)
            si[c] = !Colonna(rs.FieldName(c), ref->table, riga->columns).isEmpty();
    } catch (const dbe::DbError&) {
        // Swallows every engine error: a set or record that cannot be read now offers no field to
        // edit (the safe answer), and the operator meets the error itself on the next refresh.
        si.fill(false);
    }
    return si;
}

EsitoModificaRecord ScriviModificaRecord(const Sessione& s, dbe::Recordset& rs, dbe::Bookmark bm,
                                         const QMap<int, QVariant>& valori, const QString& chiave,
                                         const QString& descrizione)
{
    EsitoModificaRecord e;
    if (valori.isEmpty()) {
        e.scritta = true;
        return e;
    }
    const QString titolo = QStringLiteral("Impossibile salvare la modifica.");
    // Where the record lives, and what it holds now.
    dbe::RowRef ref;
    std::optional<dbe::StoredRow> prima;
    dbe::StoredRow campi;
    try {
        rs.SetBookmark(bm);
        const auto r = dbe::CurrentRow(rs);
        if (r) {
            ref = *r;
            prima = dbe::ReadStoredRow(s.DbArchivi, ref.table, ref.rowid);
        }
        if (!prima) {
            e.messaggio = titolo + QChar(13) + QStringLiteral("Il record non è più nell'archivio.");
            return e;
        }
        for (auto it = valori.constBegin(); it != valori.constEnd(); ++it) {
            const QString colonna = Colonna(rs.FieldName(it.key()), ref.table, prima->columns);
            if (colonna.isEmpty()) {
                e.messaggio = titolo + QChar(13)
                              + QStringLiteral("Il campo %1 non appartiene alla tabella %2: si corregge solo "
                                               "dalla sua tabella.")
                                    .arg(rs.FieldName(it.key()), ref.table);
                return e;
            }
            campi.columns << colonna;
        }
    } catch (const dbe::DbError& err) {
        // Every engine error: nothing is written yet, and the operator reads why not.
        e.messaggio = MessaggioErrore(titolo, err);
        return e;
    }

    if (!PrimaDellaModifica(s))
        return e;

    ModificaRegistrata voce(s, tipo_modifica::ModificaRecord, ref.table, chiave, descrizione);
    dbe::Workspace& ws = dbe::Workspace::Default();
    try {
        ws.BeginTrans();
        bool aperta = true;  // CommitTrans ends the transaction even when it fails
        try {
            rs.SetBookmark(bm);
            rs.Edit();
            for (auto it = valori.constBegin(); it != valori.constEnd(); ++it)
                rs.SetValue(it.key(), it.value());
            rs.Update();
            // The fields as the file now stores them (inside the open transaction) go into the
            // journal with the record before; the commit then writes the journal first.
            const auto dopo = dbe::ReadStoredRow(s.DbArchivi, ref.table, ref.rowid);
            if (!dopo)
                throw dbe::DbError::make(dbe::err::RecordDeleted);
            for (const QString& c : campi.columns)
                campi.values << dopo->values.value(dopo->indexOf(c));
            RecordRegistro r;
            r.tabella = ref.table;
            r.riga = ref.rowid;
            r.prima = prima;
            r.dopo = campi;
            voce.Record(r);
            aperta = false;
            ws.CommitTrans();
        } catch (...) {
            try {
                if (rs.EditMode() != dbe::dbEditNone)
                    rs.CancelUpdate();
            } catch (const dbe::DbError&) {
                // Swallowed: the error rethrown below is the one the operator is told.
            }
            try {
                if (aperta)
                    ws.Rollback();
            } catch (const dbe::DbError&) {
                // Swallowed likewise: a rollback that fails leaves nothing committed either.
            }
            throw;
        }
        dbe::SyncToDisk(s.DbArchivi);
    } catch (const dbe::DbError& err) {
        // Every engine error: the change is rolled back (or, failing the sync, already journaled)
        // and the operator reads why it was not saved, whatever the number.
        voce.Fallita(QStringLiteral("non salvata"), err.description());
        e.messaggio = MessaggioErrore(titolo, err);
        return e;
    }
    voce.Fine(QStringLiteral("salvata"));
    e.scritta = true;
    e.voce = voce.Id();
    return e;
}

}  // namespace corvale
