#include "demo_differenze.h"

#include "dbengine/db_types.h"

namespace corvale::cli::demo {

int DifferenzeTabella::problemi() const
{
    return int(campiMancanti.size() + campiDiversi.size() + indiciMancanti.size() + campiIndiceMancanti.size()
               + proprietaMancanti.size());
}

QStringList TabelleMancanti() { return {QStringLiteral("MODPAGAM")}; }

DifferenzeTabella Differenze(const QString& tabella)
{
    using namespace dbe;
    DifferenzeTabella d;
    if (tabella == QLatin1String("CLIENTI")) {
        // The table an old installation never brought up to date: twelve differences, more
        // than one comparison reports, so it takes two rounds of corrections.
        d.campiMancanti = {QStringLiteral("CELLULARE"), QStringLiteral("FAX"), QStringLiteral("EMAIL")};
        d.campiDiversi = {{QStringLiteral("INDIRIZZO"), dbText, 40, 0},
                          {QStringLiteral("CITTA"), dbText, 30, 0},
                          {QStringLiteral("SITOWEB"), 0, 0, dbHyperlinkField},
                          {QStringLiteral("ZONA"), dbText, 4, 0},
                          {QStringLiteral("GGPAG"), dbText, 2, 0}};
        d.indiciMancanti = {QStringLiteral("CITTA"), QStringLiteral("CODAGE")};
        d.campiIndiceMancanti.insert(QStringLiteral("RAGSOC"), QStringLiteral("CITTA"));
        d.proprietaMancanti = {QStringLiteral("Description")};
    } else if (tabella == QLatin1String("FORNIT")) {
        d.campiDiversi = {{QStringLiteral("SITOWEB"), 0, 0, dbHyperlinkField}};
    } else if (tabella == QLatin1String("PRODOTTI")) {
        d.campiDiversi = {{QStringLiteral("DESCR"), dbText, 50, 0}};
    } else if (tabella == QLatin1String("VENDITE")) {
        d.indiciMancanti = {QStringLiteral("DATA")};
    } else if (tabella == QLatin1String("DETT_ORD")) {
        d.campiIndiceMancanti.insert(QStringLiteral("DOCUMENTO"), QStringLiteral("LIB3"));
    } else if (tabella == QLatin1String("FATTURE")) {
        d.campiDiversi = {{QStringLiteral("IMPONIBILE"), dbDouble, 0, 0}};
        d.proprietaMancanti = {QStringLiteral("Description")};
    } else if (tabella == QLatin1String("PAGAM")) {
        d.campiMancanti = {QStringLiteral("NOTE")};
    }
    return d;
}

}  // namespace corvale::cli::demo
