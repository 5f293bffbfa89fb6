#include "modifica_campo.h"

#include <QSet>

#include "core/sessione.h"
#include "rinfresca_tabelle.h"
#include "dbengine/dbengine.h"
#include "attributi_campo.h"
#include "conversione_valori.h"
#include "indici_salvati.h"
#include "motivo_errore.h"
#include "nome_sql.h"
#include "transazione_riga.h"

#include <optional>

namespace corvale {

namespace {

// What the rebuilt column takes over: the attribute change gives new flags, the type change a new
// type; everything else comes from the old field.
struct NuovaDefinizione {
    std::optional<qint32> attributi;
    std::optional<short> tipo;
};

bool eTesto(short tipo) { return tipo == dbe::dbText || tipo == dbe::dbMemo; }

// The fields of the table's primary index (empty without one).
QStringList CampiChiave(const dbe::TableDef& td)
{
    QStringList campi;
    for (int i = 0; i < td.Indexes().Count(); ++i) {
        const dbe::Index ix = td.Indexes().Item(i);
        if (!ix.Primary())
            continue;
        for (int k = 0; k < ix.Fields().Count(); ++k)
            campi << ix.Fields().Item(k).Name();
    }
    return campi;
}

// The current record's key as the operator reads it: " (CODICE = 'C1')", empty without a key.
QString DescriviChiave(const dbe::Recordset& rs, const QStringList& chiave)
{
    QStringList parti;
    try {
        for (const QString& c : chiave) {
            const QVariant v = rs.Value(c);
            parti << c + QStringLiteral(" = ")
                         + (v.isNull() ? QStringLiteral("Null") : QLatin1Char('\'') + v.toString() + QLatin1Char('\''));
        }
    } catch (const dbe::DbError&) {
        return QString();  // the record cannot be read again: its position alone names it
    }
    return parti.isEmpty() ? QString() : QStringLiteral(" (") + parti.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// Copies every value of the old field into the new one of another type, record by record, each
// converted so that it is kept or the copy refused (ValoreConvertito).
void CopiaConvertendo(Sessione& s, const dbe::TableDef& td, const dbe::Field& vecchio, const QString& nomeNuovo,
                      short tipoNuovo)
{
    dbe::Recordset rs = s.DbArchivi.OpenRecordset(td.Name(), dbe::dbOpenTable);
    const int da = rs.FieldIndex(vecchio.Name());
    const int a = rs.FieldIndex(nomeNuovo);
    const QStringList chiave = CampiChiave(td);
    qint64 n = 0;
    try {
        for (; !rs.Eof(); rs.MoveNext()) {
            ++n;
            const QVariant w = ValoreConvertito(rs.Value(da), vecchio.Type(), tipoNuovo, vecchio.Name());
            if (w.isNull())
                continue;  // the new column is Null already
            rs.Edit();
            rs.SetValue(a, w);
            rs.Update();
        }
    } catch (const dbe::DbError& e) {
        // The refusal names the record it met, so that the operator can find and mend it.
        const QString record =
            QStringLiteral(" Record %1 della tabella %2%3.").arg(n).arg(td.Name(), DescriviChiave(rs, chiave));
        rs.Close();
        throw dbe::DbError(e.number(), e.description() + record);
    } catch (...) {
        rs.Close();
        throw;
    }
    rs.Close();
}

// The name of the rebuilt column while the old one still stands: the field's name with "_NEW" (then
// "_NEW2", "_NEW3", ...), never one a column of the table already has (an earlier failed rebuild may
// have left one) and never longer than the engine's 64 characters (the field's name is cut).
QString NomeTemporaneo(const dbe::TableDef& td, const QString& nome)
{
    QSet<QString> presenti;
    const dbe::FieldCollection campi = td.Fields();
    for (int i = 0; i < campi.Count(); ++i)
        presenti.insert(campi.Item(i).Name().toLower());
    for (int n = 1;; ++n) {
        const QString coda = n == 1 ? QStringLiteral("_NEW") : QStringLiteral("_NEW%1").arg(n);
        const QString candidato = nome.left(64 - coda.size()) + coda;
        if (!presenti.contains(candidato.toLower()))
            return candidato;
    }
}

EsitoCorrezione RicostruisciCampo(Sessione& s, const QString& NmTab, const QString& nome, const NuovaDefinizione& nuova)
{
    try {
        dbe::TableDef td = s.DbArchivi.TableDefs().Item(NmTab);
        const dbe::Field vecchio = td.Fields().Item(nome);
        const QVector<IndiceSalvato> salvati = SalvaIndiciDelCampo(td, nome);
        const QString nomeNuovo = NomeTemporaneo(td, nome);
        // A name no statement can carry is refused before anything changes.
        const QString tabella = NomeSql(td.Name());
        const QString sqlVecchio = NomeSql(nome);
        const QString sqlNuovo = NomeSql(nomeNuovo);

        TransazioneRiga riga;
        EliminaIndici(td, salvati);

        const short tipo = nuova.tipo ? *nuova.tipo : vecchio.Type();
        dbe::Field f = td.CreateField(nomeNuovo);
        f.SetType(tipo);
        f.SetAttributes(nuova.attributi ? *nuova.attributi : vecchio.Attributes());
        // The new column takes every value of the old one, the empty text included; an attribute
        // change ends with the empty text allowed, as a type change to text or memo does.
        if (eTesto(tipo))
            f.SetAllowZeroLength(true);
        // A number or a date turned text gets the widest text, so that every value fits; the
        // length the master asks for follows as a correction of its own.
        f.SetSize(tipo == dbe::dbText && !eTesto(vecchio.Type()) ? 255 : vecchio.Size());
        td.Fields().Append(f);
        s.DbArchivi.TableDefs().Refresh();

        if (tipo == vecchio.Type())
            s.DbArchivi.Execute(QStringLiteral("UPDATE ") + tabella + QStringLiteral(" SET ") + sqlNuovo
                                + QLatin1Char('=') + sqlVecchio);
        else
            CopiaConvertendo(s, s.DbArchivi.TableDefs().Item(NmTab), vecchio, nomeNuovo, tipo);
        s.DbArchivi.Execute(QStringLiteral("ALTER TABLE ") + tabella + QStringLiteral(" DROP COLUMN ") + sqlVecchio);

        s.DbArchivi.TableDefs().Refresh();
        dbe::Field rinominato = s.DbArchivi.TableDefs().Item(NmTab).Fields().Item(nomeNuovo);
        rinominato.SetName(nome);
        s.DbArchivi.TableDefs().Refresh();

        td = s.DbArchivi.TableDefs().Item(NmTab);
        RicreaIndici(td, salvati);
        // Done only when the field reads back with the flags asked for: otherwise nothing stays.
        if (nuova.attributi) {
            const qint32 letti = td.Fields().Item(nome).Attributes();
            if (letti != *nuova.attributi)
                throw dbe::DbError(dbe::err::InvalidArgument, AttributiMancati(nome, tipo, *nuova.attributi, letti));
        }
        riga.conferma();
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        const EsitoCorrezione esito = EsitoCorrezione::Fallita(e);
        RinfrescaTabelleArchivio(s);
        return esito;
    }
    RinfrescaTabelleArchivio(s);
    return EsitoCorrezione::Fatta();
}

}  // namespace

EsitoCorrezione ModificaAttributoCampo(Sessione& s, const QString& NmTab, const QString& NmCmp, const QString& Attr)
{
    bool ok = false;
    const qint32 attributi = Attr.trimmed().toInt(&ok);
    if (!ok) {
        return EsitoCorrezione::Fallita(dbe::DbError::make(dbe::err::InvalidArgument));
    }
    // Flags the engine cannot give a field of this type are refused before anything changes.
    try {
        const short tipo = s.DbArchivi.TableDefs().Item(NmTab).Fields().Item(NmCmp).Type();
        const QString motivo = AttributiNonImpostabili(NmCmp, tipo, attributi);
        if (!motivo.isEmpty()) {
            return EsitoCorrezione::Fallita(dbe::DbError(dbe::err::InvalidArgument, motivo));
        }
    } catch (const dbe::DbError& e) {
        return EsitoCorrezione::Fallita(e);
    }
    NuovaDefinizione n;
    n.attributi = attributi;
    return RicostruisciCampo(s, NmTab, NmCmp, n);
}

EsitoCorrezione ModificaTipoCampo(Sessione& s, const QString& NmTab, const QString& NmCampo, qint32 NmTipo)
{
    if (NmTipo < -32768 || NmTipo > 32767) {
        return EsitoCorrezione::Fallita(dbe::DbError::make(dbe::err::InvalidFieldType));
    }
    NuovaDefinizione n;
    n.tipo = static_cast<short>(NmTipo);
    return RicostruisciCampo(s, NmTab, NmCampo, n);
}

}  // namespace corvale
