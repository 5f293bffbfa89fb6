#include "proprieta_access.h"

#include "dbengine/db_types.h"
#include "dbengine/table_def.h"

#include <QHash>
#include <mdbtools.h>

namespace corvale::access {

namespace {

// The properties of tables and fields whose type Access fixes.
const QHash<QString, short>& tipiNoti()
{
    using namespace dbe;
    static const QHash<QString, short> tipi = {
        {QStringLiteral("Description"), dbText},
        {QStringLiteral("Caption"), dbText},
        {QStringLiteral("Format"), dbText},
        {QStringLiteral("InputMask"), dbText},
        {QStringLiteral("DefaultValue"), dbText},
        {QStringLiteral("SubdatasheetName"), dbText},
        {QStringLiteral("LinkChildFields"), dbText},
        {QStringLiteral("LinkMasterFields"), dbText},
        {QStringLiteral("DatasheetFontName"), dbText},
        {QStringLiteral("Filter"), dbMemo},
        {QStringLiteral("OrderBy"), dbMemo},
        {QStringLiteral("OrderByOn"), dbBoolean},
        {QStringLiteral("FilterOnLoad"), dbBoolean},
        {QStringLiteral("OrderByOnLoad"), dbBoolean},
        {QStringLiteral("TotalsRow"), dbBoolean},
        {QStringLiteral("SubdatasheetExpanded"), dbBoolean},
        {QStringLiteral("DatasheetFontItalic"), dbBoolean},
        {QStringLiteral("DatasheetFontUnderline"), dbBoolean},
        {QStringLiteral("ReadOnlyWhenDisconnected"), dbBoolean},
        {QStringLiteral("Orientation"), dbByte},
        {QStringLiteral("DefaultView"), dbByte},
        {QStringLiteral("DecimalPlaces"), dbByte},
        {QStringLiteral("TabularFamily"), dbByte},
        {QStringLiteral("TabularCharSet"), dbByte},
        {QStringLiteral("DatasheetCellsEffect"), dbByte},
        {QStringLiteral("DatasheetGridlinesBehavior"), dbByte},
        {QStringLiteral("HorizontalDatasheetGridlineStyle"), dbByte},
        {QStringLiteral("VerticalDatasheetGridlineStyle"), dbByte},
        {QStringLiteral("RowHeight"), dbInteger},
        {QStringLiteral("FrozenColumns"), dbInteger},
        {QStringLiteral("DatasheetFontHeight"), dbInteger},
        {QStringLiteral("DatasheetFontWeight"), dbInteger},
        {QStringLiteral("SubdatasheetHeight"), dbLong},
        {QStringLiteral("DatasheetForeColor"), dbLong},
        {QStringLiteral("DatasheetBackColor"), dbLong},
        {QStringLiteral("DatasheetGridlinesColor"), dbLong},
        {QStringLiteral("DatasheetForeThemeColorIndex"), dbLong},
        {QStringLiteral("DatasheetBackThemeColorIndex"), dbLong},
        {QStringLiteral("GUID"), dbBinary},
        {QStringLiteral("NameMap"), dbLongBinary},
    };
    return tipi;
}

QVariant valore(short tipo, const QString& testo)
{
    switch (tipo) {
    case dbe::dbBoolean: return testo == QLatin1String("yes");
    case dbe::dbByte:
    case dbe::dbInteger:
    case dbe::dbLong: return testo.toLongLong();
    default: return testo;
    }
}

}  // namespace

short TipoProprieta(const QString& nome, const QString& testo)
{
    const auto noto = tipiNoti().constFind(nome);
    if (noto != tipiNoti().constEnd())
        return *noto;
    if (testo == QLatin1String("yes") || testo == QLatin1String("no"))
        return dbe::dbBoolean;
    bool numero = false;
    testo.toInt(&numero);
    if (numero)
        return dbe::dbLong;
    return testo.size() > 255 ? dbe::dbMemo : dbe::dbText;
}

QVector<ProprietaAccess> ProprietaTabella(const void* props, QStringList* saltati)
{
    QVector<ProprietaAccess> tutte;
    const auto* p = static_cast<const MdbProperties*>(props);
    if (!p || !p->hash)
        return tutte;
    GHashTableIter it;
    gpointer k = nullptr, v = nullptr;
    g_hash_table_iter_init(&it, p->hash);
    while (g_hash_table_iter_next(&it, &k, &v)) {
        const QString nome = QString::fromUtf8(static_cast<const char*>(k));
        const QString testo = QString::fromUtf8(static_cast<const char*>(v));
        const short tipo = TipoProprieta(nome, testo);
        if (dbe::IsBuiltinProperty(nome)) {
            saltati->append(QStringLiteral("proprietà %1: nome riservato dall'archivio").arg(nome));
            continue;
        }
        if (tipo == dbe::dbBinary || tipo == dbe::dbLongBinary)
            continue;  // Access's own bookkeeping (GUID, NameMap), which libmdb gives only by length
        tutte.append({nome, tipo, valore(tipo, testo)});
    }
    std::sort(tutte.begin(), tutte.end(), [](const ProprietaAccess& a, const ProprietaAccess& b) {
        return a.nome.compare(b.nome, Qt::CaseInsensitive) < 0;
    });
    return tutte;
}

}  // namespace corvale::access
