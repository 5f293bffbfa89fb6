#include "modifica_campo.h"

#include "core/sessione.h"
#include "rinfresca_tabelle.h"
#include "dbengine/dbengine.h"
#include "indici_salvati.h"
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

bool RicostruisciCampo(Sessione& s, const QString& NmTab, const QString& nome, const NuovaDefinizione& nuova)
{
    try {
        dbe::TableDef td = s.DbArchivi.TableDefs().Item(NmTab);
        const dbe::Field vecchio = td.Fields().Item(nome);
        const QVector<IndiceSalvato> salvati = SalvaIndiciDelCampo(td, nome);

        TransazioneRiga riga;
        EliminaIndici(td, salvati);

        const QString nomeNuovo = nome + QStringLiteral("_NEW");
        dbe::Field f = td.CreateField(nomeNuovo);
        if (nuova.attributi) {
            f.SetType(vecchio.Type());
            f.SetAttributes(*nuova.attributi);
            f.SetSize(vecchio.Size());
        } else {
            f.SetType(*nuova.tipo);
            f.SetAttributes(vecchio.Attributes());
            if (*nuova.tipo == dbe::dbText || *nuova.tipo == dbe::dbMemo)
                f.SetAllowZeroLength(true);
            f.SetSize(vecchio.Size());
        }
        td.Fields().Append(f);
        s.DbArchivi.TableDefs().Refresh();

        const QString tabella = NomeSql(td.Name());
        s.DbArchivi.Execute(QStringLiteral("UPDATE ") + tabella + QStringLiteral(" SET ") + NomeSql(nomeNuovo)
                          + QLatin1Char('=') + NomeSql(nome));
        s.DbArchivi.Execute(QStringLiteral("ALTER TABLE ") + tabella + QStringLiteral(" DROP COLUMN ") + NomeSql(nome));

        s.DbArchivi.TableDefs().Refresh();
        dbe::Field rinominato = s.DbArchivi.TableDefs().Item(NmTab).Fields().Item(nomeNuovo);
        rinominato.SetName(nome);
        if (nuova.attributi)
            rinominato.SetAllowZeroLength(true);
        s.DbArchivi.TableDefs().Refresh();

        td = s.DbArchivi.TableDefs().Item(NmTab);
        RicreaIndici(td, salvati);
        riga.conferma();
    } catch (const dbe::DbError&) {
        RinfrescaTabelleArchivio(s);
        return false;
    }
    RinfrescaTabelleArchivio(s);
    return true;
}

}  // namespace

bool ModificaAttributoCampo(Sessione& s, const QString& NmTab, const QString& NmCmp, const QString& Attr)
{
    bool ok = false;
    const qint32 attributi = Attr.trimmed().toInt(&ok);
    if (!ok)
        return false;
    NuovaDefinizione n;
    n.attributi = attributi;
    return RicostruisciCampo(s, NmTab, NmCmp, n);
}

bool ModificaTipoCampo(Sessione& s, const QString& NmTab, const QString& NmCampo, qint32 NmTipo)
{
    if (NmTipo < -32768 || NmTipo > 32767)
        return false;
    NuovaDefinizione n;
    n.tipo = static_cast<short>(NmTipo);
    return RicostruisciCampo(s, NmTab, NmCampo, n);
}

}  // namespace corvale
