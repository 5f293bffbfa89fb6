#include "indici_salvati.h"

namespace corvale {

QVector<IndiceSalvato> SalvaIndiciDelCampo(const dbe::TableDef& td, const QString& campo)
{
    QVector<IndiceSalvato> salvati;
    const dbe::IndexCollection indici = td.Indexes();
    const int n = indici.Count();
    for (int i = 0; i < n; ++i) {
        // Only the indexes that contain the field; an engine error reading one goes to the caller,
        // so that no index is left out of the list (it would be dropped and not made again).
        const dbe::Index idx = indici.Item(i);
        const dbe::FieldCollection campi = idx.Fields();
        if (!campi.Contains(campo))
            continue;
        IndiceSalvato s;
        s.nome = idx.Name();
        s.primario = idx.Primary();
        s.univoco = idx.Unique();
        for (int j = 0; j < campi.Count(); ++j)
            s.campi << campi.Item(j).Name();
        salvati << s;
    }
    return salvati;
}

void EliminaIndici(const dbe::TableDef& td, const QVector<IndiceSalvato>& indici)
{
    dbe::IndexCollection coll = td.Indexes();
    for (const IndiceSalvato& s : indici)
        coll.Delete(s.nome);
}

void RicreaIndici(const dbe::TableDef& td, const QVector<IndiceSalvato>& indici)
{
    dbe::IndexCollection coll = td.Indexes();
    for (const IndiceSalvato& s : indici) {
        dbe::Index idx = td.CreateIndex(s.nome);
        dbe::FieldCollection campi = idx.Fields();
        for (const QString& c : s.campi)
            campi.Append(idx.CreateField(c));
        idx.SetPrimary(s.primario);
        idx.SetUnique(s.univoco);
        coll.Append(idx);
    }
}

}  // namespace corvale
