#pragma once
// The indexes set aside while a field is rebuilt: every index of a table that contains the field,
// with its name, primary and unique flags and its fields in order, deleted before the rebuild and
// created again afterwards. There is room for as many indexes as the table has.
#include "dbengine/dbengine.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace corvale {

struct IndiceSalvato {
    QString nome;
    bool primario = false;
    bool univoco = false;
    QStringList campi;
};

// The indexes of td that contain a field named campo, in the engine's order. An index whose
// fields cannot be read is skipped, as one that does not contain the field.
QVector<IndiceSalvato> SalvaIndiciDelCampo(const dbe::TableDef& td, const QString& campo);
// Deletes each saved index from td by its name, in the order saved.
void EliminaIndici(const dbe::TableDef& td, const QVector<IndiceSalvato>& indici);
// Creates each saved index on td again: its name, its fields by name in order, primary and unique.
void RicreaIndici(const dbe::TableDef& td, const QVector<IndiceSalvato>& indici);

}  // namespace corvale
