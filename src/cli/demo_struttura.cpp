#include "demo_struttura.h"

#include "demo_differenze.h"
#include "demo_schema.h"

namespace corvale::cli::demo {

namespace {

using namespace dbe;

bool testuale(short tipo) { return tipo == dbText || tipo == dbMemo; }

// The archive never carries the form settings the business program leaves on the master's tables.
bool proprietaDiMaschera(const QString& nome)
{
    return nome == QLatin1String("Orientation") || nome == QLatin1String("OrderByOn")
           || nome == QLatin1String("RowHeight");
}

Index copiaIndice(const TableDef& destinazione, const Index& origine, const QString& campoTolto)
{
    Index ix = destinazione.CreateIndex(origine.Name());
    const FieldCollection campi = origine.Fields();
    for (int i = 0; i < campi.Count(); ++i) {
        const QString nome = campi.Item(i).Name();
        if (!campoTolto.isEmpty() && nome.compare(campoTolto, Qt::CaseInsensitive) == 0)
            continue;
        ix.Fields().Append(ix.CreateField(nome));
    }
    ix.SetPrimary(origine.Primary());
    ix.SetUnique(origine.Unique());
    return ix;
}

}  // namespace

void CreaTabelleMaster(const Database& master)
{
    for (const TabellaDemo& t : SchemaMaster()) {
        TableDef td = master.CreateTableDef(t.nome);
        for (const CampoDemo& c : t.campi) {
            Field f = td.CreateField(c.nome, c.tipo, c.tipo == dbText ? c.dimensione : 0);
            if (c.attributi != 0)
                f.SetAttributes(c.attributi);
            if (testuale(c.tipo))
                f.SetAllowZeroLength(true);
            td.Fields().Append(f);
        }
        for (const IndiceDemo& i : t.indici) {
            Index ix = td.CreateIndex(i.nome);
            for (const QString& campo : i.campi)
                ix.Fields().Append(ix.CreateField(campo));
            ix.SetPrimary(i.primario);
            ix.SetUnique(i.unico);
            td.Indexes().Append(ix);
        }
        master.TableDefs().Append(td);
        TableDef creata = master.TableDefs().Item(t.nome);
        for (const ProprietaDemo& p : t.proprieta)
            creata.Properties().Append(creata.CreateProperty(p.nome, p.tipo, p.valore));
    }
}

void CreaTabellaArchivio(const Database& master, const Database& archivio, const QString& tabella)
{
    if (TabelleMancanti().contains(tabella))
        return;
    const DifferenzeTabella diff = Differenze(tabella);
    const TableDef origine = master.TableDefs().Item(tabella);
    TableDef td = archivio.CreateTableDef(origine.Name(), origine.Attributes());
    const FieldCollection campi = origine.Fields();
    for (int i = 0; i < campi.Count(); ++i) {
        const Field m = campi.Item(i);
        if (diff.campiMancanti.contains(m.Name()))
            continue;
        short tipo = m.Type();
        qint32 dimensione = testuale(tipo) ? m.Size() : 0;
        qint32 attributi = m.Attributes();
        bool tipoCambiato = false;
        for (const CampoDiverso& c : diff.campiDiversi) {
            if (c.campo != m.Name())
                continue;
            if (c.tipo != 0) {
                tipoCambiato = c.tipo != tipo;
                tipo = c.tipo;
                dimensione = c.dimensione;
            }
            attributi &= ~c.attributiTolti;
        }
        Field f = td.CreateField(m.Name(), tipo, tipo == dbText ? dimensione : 0);
        // A field of another type keeps the master's flags too (a text of digits stored
        // fixed-width where the master has a number): the type change, which carries the flags
        // over, then leaves nothing to correct.
        f.SetAttributes(attributi);
        if (testuale(tipo))
            f.SetAllowZeroLength(tipoCambiato || m.AllowZeroLength());
        td.Fields().Append(f);
    }
    archivio.TableDefs().Append(td);
}

void CompletaTabellaArchivio(const Database& master, const Database& archivio, const QString& tabella)
{
    if (TabelleMancanti().contains(tabella))
        return;
    const DifferenzeTabella diff = Differenze(tabella);
    const TableDef origine = master.TableDefs().Item(tabella);
    TableDef td = archivio.TableDefs().Item(tabella);
    const IndexCollection indici = origine.Indexes();
    for (int i = 0; i < indici.Count(); ++i) {
        const Index ix = indici.Item(i);
        if (diff.indiciMancanti.contains(ix.Name()))
            continue;
        td.Indexes().Append(copiaIndice(td, ix, diff.campiIndiceMancanti.value(ix.Name())));
    }
    const TabellaDemo* schema = TabellaMaster(tabella);
    for (const ProprietaDemo& p : schema->proprieta) {
        if (proprietaDiMaschera(p.nome) || diff.proprietaMancanti.contains(p.nome))
            continue;
        const Property m = origine.Properties().Item(p.nome);
        td.Properties().Append(td.CreateProperty(m.Name(), m.Type(), m.Value()));
    }
    archivio.TableDefs().Refresh();
}

}  // namespace corvale::cli::demo
