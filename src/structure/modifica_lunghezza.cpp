#include "modifica_lunghezza.h"

#include "core/sessione.h"
#include "rinfresca_tabelle.h"
#include "indici_salvati.h"
#include "motivo_errore.h"
#include "nome_sql.h"
#include "transazione_riga.h"

#include "dbengine/bulk_rewrite.h"

namespace corvale {

namespace {

// The second connection, closed however the routine is left.
struct SecondaConnessione {
    dbe::Database db;
    explicit SecondaConnessione(const QString& percorso) : db(dbe::OpenDatabase(percorso)) {}
    SecondaConnessione(const SecondaConnessione&) = delete;  // one owner closes the connection
    SecondaConnessione& operator=(const SecondaConnessione&) = delete;
    ~SecondaConnessione()
    {
        try {
            db.Close();
        } catch (const dbe::DbError&) {
            // A destructor does not throw; the routine's own outcome is already decided and
            // reported, and a connection that fails to close leaves nothing uncommitted behind.
        }
    }
};

}  // namespace

void RicreaCampoTesto(dbe::Database& C, const QString& t, const QString& f, qint16 n, bool b)
{
    const bool Z = b && C.TableDefs().Item(t).Fields().Item(f).AllowZeroLength();
    const QString tab = NomeSql(t);
    ControllaNomeSql(f);
    const QString nuovo = QStringLiteral("NEW") + f;
    // Inside the caller's transaction no transaction of its own: it would be a savepoint, under
    // which SQLite writes every page the copy changes to a second journal too.
    const bool propria = dbe::Workspace::Default().TransactionLevel() == 0;
    if (propria)
        dbe::Workspace::Default().BeginTrans();
    try {
        C.Execute(QStringLiteral("ALTER TABLE ") + tab + QStringLiteral(" ADD COLUMN [NEW") + f
                  + QStringLiteral("]TEXT(") + QString::number(n) + QStringLiteral(");"));
        // The new column takes every value the old one holds, the empty text included, whatever
        // its setting; the field gets its own setting back once renamed.
        C.TableDefs().Item(t).Fields().Item(nuovo).SetAllowZeroLength(true);
        C.Execute(QStringLiteral("UPDATE ") + tab + QStringLiteral(" SET [NEW") + f + QStringLiteral("]=[") + f
                  + QStringLiteral("];"));
        C.Execute(QStringLiteral("ALTER TABLE ") + tab + QStringLiteral(" DROP [") + f + QLatin1Char(']'));
    } catch (...) {
        if (propria)
            dbe::Workspace::Default().Rollback();
        throw;
    }
    if (propria)
        dbe::Workspace::Default().CommitTrans();
    C.TableDefs().Refresh();
    dbe::Field rinominato = C.TableDefs().Item(t).Fields().Item(nuovo);
    rinominato.SetName(f);
    rinominato.SetAllowZeroLength(Z);
}

void NewDimCampoIndicizzato(Sessione& s, const QString& NomeCampo, const QString& Tabella, qint16 NewDim)
{
    SecondaConnessione seconda(s.DbArchivi.Name());
    dbe::Database& C = seconda.db;
    dbe::TableDef T = C.TableDefs().Item(Tabella);
    const dbe::Field F = T.Fields().Item(NomeCampo);
    if (F.Size() == NewDim)
        return;
    // A name no statement can carry is refused before anything changes.
    ControllaNomeSql(T.Name());
    ControllaNomeSql(F.Name());
    // The table is rewritten whole (its field copied, the old one dropped, its indexes built again):
    // a small page cache does it with less work than the large one kept for the checks.
    dbe::BulkRewrite riscrittura(C);
    // Everything from the first index dropped to the last one recreated is one transaction, ended
    // before the second connection closes.
    TransazioneRiga riga;
    const QVector<IndiceSalvato> salvati = SalvaIndiciDelCampo(T, NomeCampo);
    EliminaIndici(T, salvati);
    RicreaCampoTesto(C, Tabella, NomeCampo, NewDim, true);
    C.TableDefs().Refresh();
    T = C.TableDefs().Item(Tabella);
    RicreaIndici(T, salvati);
    riga.conferma();
}

EsitoCorrezione ModificaLunghezzaCampo(Sessione& s, const QString& NmTab, const QString& NmCmp, const QString& Lung)
{
    bool ok = false;
    const int n = Lung.trimmed().toInt(&ok);
    if (!ok || n < 1 || n > 32767) {
        return EsitoCorrezione::Fallita(dbe::DbError::make(dbe::err::InvalidArgument));
    }
    try {
        NewDimCampoIndicizzato(s, NmCmp, NmTab, static_cast<qint16>(n));
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        return EsitoCorrezione::Fallita(e);
    }
    RinfrescaTabelleArchivio(s);
    return EsitoCorrezione::Fatta();
}

}  // namespace corvale
