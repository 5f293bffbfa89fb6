#include "correzioni_additive.h"

#include "core/sessione.h"
#include "safety/sessione_sicurezza.h"
#include "rinfresca_tabelle.h"
#include "dbengine/dbengine.h"
#include "motivo_errore.h"
#include "transazione_riga.h"

#include <QDir>

namespace corvale {

namespace {
bool haDimensione(short tipo) { return tipo == dbe::dbText || tipo == dbe::dbMemo; }

// What the operator reads when the old index was deleted and the new one could not be made: the
// table is now without it, and the safety copy taken before the first change of the session holds it.
QString IndicePerso(const Sessione& s, const QString& tabella, const QString& indice)
{
    const QString copia = CopiaSessione(s);
    const QString testo = QStringLiteral(" L'indice %1 che la tabella %2 aveva è stato eliminato e non è stato "
                                         "possibile ricrearlo: la tabella ora ne è senza.")
                              .arg(indice, tabella);
    if (copia.isEmpty())
        return testo
               + QStringLiteral(" Questa sessione non ha fatto una copia di sicurezza: per riaverlo occorre "
                                "una copia fatta prima.");
    return testo
           + QStringLiteral(" Per riaverlo com'era, ripristinare la copia di sicurezza %1 fatta prima delle "
                            "correzioni: finestra \"Registro delle modifiche\" (Ctrl+R), pulsante "
                            "\"Ripristina copia\", oppure corvale-cli ripristina \"%1\". Il ripristino "
                            "annulla anche le modifiche fatte dopo la copia.")
                 .arg(QDir::toNativeSeparators(copia));
}
}  // namespace

EsitoCorrezione AggiungiTabella(Sessione& s, const QString& Nm)
{
    try {
        const dbe::TableDef tm = s.DbMaster.TableDefs().Item(Nm);
        dbe::TableDef nuova = s.DbArchivi.CreateTableDef(Nm, tm.Attributes());
        const dbe::FieldCollection campi = tm.Fields();
        for (int i = 0; i < campi.Count(); ++i) {
            const dbe::Field fm = campi.Item(i);
            dbe::Field f = nuova.CreateField(fm.Name(), fm.Type());
            if (haDimensione(fm.Type()))
                f.SetSize(fm.Size());
            f.SetAttributes(fm.Attributes());
            nuova.Fields().Append(f);
        }
        const dbe::IndexCollection indici = tm.Indexes();
        for (int i = 0; i < indici.Count(); ++i) {
            const dbe::Index im = indici.Item(i);
            dbe::Index idx = nuova.CreateIndex(im.Name());
            const dbe::FieldCollection campiIndice = im.Fields();
            for (int j = 0; j < campiIndice.Count(); ++j)
                idx.Fields().Append(idx.CreateField(campiIndice.Item(j).Name()));
            idx.SetPrimary(im.Primary());
            idx.SetUnique(im.Unique());
            nuova.Indexes().Append(idx);
        }
        // Nothing reaches the archive before this append, which is all or nothing.
        s.DbArchivi.TableDefs().Append(nuova);
        return EsitoCorrezione::Fatta();
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        return EsitoCorrezione::Fallita(e);
    }
}

EsitoCorrezione AggiungiCampo(Sessione& s, const QString& NmTab, const QString& NmCmp)
{
    try {
        const dbe::TableDef tm = s.DbMaster.TableDefs().Item(NmTab);
        const dbe::TableDef ta = s.DbArchivi.TableDefs().Item(NmTab);
        const dbe::Field fm = tm.Fields().Item(NmCmp);
        dbe::Field f = ta.CreateField(fm.Name(), fm.Type());
        if (haDimensione(fm.Type())) {
            f.SetSize(fm.Size());
            f.SetAllowZeroLength(true);
        }
        f.SetAttributes(fm.Attributes());
        ta.Fields().Append(f);
        return EsitoCorrezione::Fatta();
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        return EsitoCorrezione::Fallita(e);
    }
}

EsitoCorrezione AggiungiIndice(Sessione& s, const QString& Nm, const QString& NmId)
{
    try {
        const dbe::TableDef tm = s.DbMaster.TableDefs().Item(Nm);
        const dbe::TableDef ta = s.DbArchivi.TableDefs().Item(Nm);
        // The delete and the append are one step on disk: an interrupted run leaves the old index.
        TransazioneRiga riga;
        // An index of that name goes first; a lookup that fails means there is none, and a delete
        // that fails leaves it in place (the append below then finds the name taken).
        bool eliminato = false;
        try {
            dbe::IndexCollection indici = ta.Indexes();
            if (indici.Contains(NmId)) {
                indici.Delete(NmId);
                eliminato = true;
            }
        } catch (const dbe::DbError&) {
            // Swallowed, as said above: the append below meets whatever index is left in place.
        }
        const dbe::Index im = tm.Indexes().Item(NmId);
        dbe::Index idx = ta.CreateIndex(im.Name());
        const dbe::FieldCollection campi = im.Fields();
        for (int j = 0; j < campi.Count(); ++j)
            idx.Fields().Append(idx.CreateField(campi.Item(j).Name()));
        idx.SetPrimary(im.Primary());
        idx.SetUnique(im.Unique());
        try {
            ta.Indexes().Append(idx);
        } catch (const dbe::DbError& e) {
            riga.conferma();  // the old index stays deleted, as the correction has always done
            if (eliminato)
                return EsitoCorrezione::Fallita(dbe::DbError(e.number(), e.description() + IndicePerso(s, Nm, NmId)));
            return EsitoCorrezione::Fallita(e);
        }
        riga.conferma();
        return EsitoCorrezione::Fatta();
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        return EsitoCorrezione::Fallita(e);
    }
}

EsitoCorrezione AggiungiProprieta(Sessione& s, const QString& NmTab, const QString& NmProp)
{
    try {
        const dbe::TableDef tm = s.DbMaster.TableDefs().Item(NmTab);
        const dbe::TableDef ta = s.DbArchivi.TableDefs().Item(NmTab);
        const dbe::Property pm = tm.Properties().Item(NmProp);
        ta.Properties().Append(ta.CreateProperty(NmProp, pm.Type(), pm.Value()));
    } catch (const dbe::DbError& e) {
        // Every failure is the correction's result, which the operator is shown.
        return EsitoCorrezione::Fallita(e);
    }
    RinfrescaTabelleArchivio(s);
    return EsitoCorrezione::Fatta();
}

}  // namespace corvale
