#include "catalogo.h"

#include "core/sessione.h"
#include "core/manutenzione.h"

namespace corvale {

namespace {

// "ENC" entries carry: examined table, master table, reference field, key field, shown field and,
// for three of them, the fixed code offered as a third choice.
std::vector<VoceCatalogo> costruisci()
{
    const QString EN = QStringLiteral("EN");
    const QString ENC = QStringLiteral("ENC");
    const QString ENP = QStringLiteral("ENP");
    return {
        // 1
        {QStringLiteral("Controllo Schede Vuote Clienti"),
         EN,
         {QStringLiteral("CLIENTI WHERE ISNULL(CODICE) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''")}},
        // 2
        {QStringLiteral("Controllo Schede Vuote Fornitori"),
         EN,
         {QStringLiteral("FORNIT WHERE ISNULL(COD) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''")}},
        // 3
        {QStringLiteral("Controllo Schede Vuote Agenti"),
         EN,
         {QStringLiteral("AGENTI WHERE ISNULL(CODAGE) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''")}},
        // 4
        {QStringLiteral("Controllo Schede Vuote Agenzie"),
         EN,
         {QStringLiteral("AGENZIA WHERE ISNULL(COD) OR ISNULL(RAG) OR TRIM(RAG)=''")}},
        // 5
        {QStringLiteral("Controllo Schede Vuote Prodotti"),
         EN,
         {QStringLiteral("PRODOTTI WHERE ISNULL(CODICE) OR ISNULL(DESCR) OR TRIM(DESCR)=''")}},
        // 6
        {QStringLiteral("Controllo Schede Vuote Linee"),
         EN,
         {QStringLiteral("LINEE WHERE ISNULL(LINEA) OR ISNULL(DESCR) OR TRIM(DESCR)=''")}},
        // 7
        {QStringLiteral("Controllo Ordini senza Clienti"), ENC, {"VENDITE", "CLIENTI", "CODCLI", "CODICE", "RAGSOC"}},
        // 8
        {QStringLiteral("Controllo Ordini senza Agenti"), ENC, {"VENDITE", "AGENTI", "CODAGE", "CODAGE", "RAGSOC"}},
        // 9
        {QStringLiteral("Controllo Ordini senza Fornitori"),
         ENC,
         {"VENDITE", "FORNIT", "DITTA", "COD", "RAGSOC", "VARIE"}},
        // 10
        {QStringLiteral("Controllo Ordini senza Agenzia"), ENC, {"VENDITE", "AGENZIA", "CODAGENZIA", "COD", "RAG"}},
        // 11
        {QStringLiteral("Controllo Fatture senza Clienti"), ENC, {"FATTURE", "CLIENTI", "CODCLI", "CODICE", "RAGSOC"}},
        // 12
        {QStringLiteral("Controllo Fatture senza Agenti"), ENC, {"FATTURE", "AGENTI", "CODAGE", "CODAGE", "RAGSOC"}},
        // 13
        {QStringLiteral("Controllo Fatture senza Fornitori"),
         ENC,
         {"FATTURE", "FORNIT", "CODDITTA", "COD", "RAGSOC", "VARIE"}},
        // 14
        {QStringLiteral("Controllo Fatture senza Agenzia"), ENC, {"FATTURE", "AGENZIA", "CODAGENZIA", "COD", "RAG"}},
        // 15
        {QStringLiteral("Controllo Prodotti senza Fornitore"),
         ENC,
         {"PRODOTTI", "FORNIT", "FORNITORE", "COD", "RAGSOC"}},
        // 16
        {QStringLiteral("Controllo Ordini/Offerte senza Numero"),
         EN,
         {QStringLiteral("VENDITE WHERE ISNULL(NUMORD) OR TRIM(NUMORD)=''")}},
        // 17: the same description as 16, on the invoices
        {QStringLiteral("Controllo Ordini/Offerte senza Numero"),
         EN,
         {QStringLiteral("FATTURE WHERE ISNULL(NUMFAT) OR TRIM(NUMFAT)=''")}},
        // 18
        {QStringLiteral("Controllo Ordini/Offerte senza Dettaglio"),
         ENP,
         {QStringLiteral("VENDITE LEFT JOIN DETT_ORD ON ") + QStringLiteral("VENDITE.CODCLI=DETT_ORD.CODCLI AND ")
              + QStringLiteral("VENDITE.NUMORD=DETT_ORD.NUMORD AND ")
              + QStringLiteral("VENDITE.DATA=DETT_ORD.DATA AND ") + QStringLiteral("VENDITE.DITTA=DETT_ORD.DITTA AND ")
              + QStringLiteral("VENDITE.TIPODEP=DETT_ORD.LIB3 WHERE VENDITE.DITTA<>'VARIE' AND "
                               "ISNULL(DETT_ORD.NUMORD)"),
          "VENDITE", "5", ".CODCLI", ".NUMORD", ".DATA", ".DITTA", "TIPODEP"}},
        // 19
        {QStringLiteral("Controllo Fatture senza Dettaglio"),
         ENP,
         {QStringLiteral("FATTURE LEFT JOIN DETT_FAT ON ") + QStringLiteral("FATTURE.CODCLI=DETT_FAT.CODCLI AND ")
              + QStringLiteral("FATTURE.NUMFAT=DETT_FAT.NUMFAT AND ")
              + QStringLiteral("FATTURE.DATA=DETT_FAT.DATA AND ") + QStringLiteral("FATTURE.CODDITTA=DETT_FAT.DITTA ")
              + QStringLiteral("WHERE FATTURE.CODDITTA<>'VARIE' AND ISNULL(DETT_FAT.NUMFAT)"),
          "FATTURE", "4", ".CODCLI", ".NUMFAT", ".DATA", "CODDITTA"}},
        // 20
        {QStringLiteral("Controllo dettagli Ordini/Offerte isolati"),
         ENP,
         {QStringLiteral("VENDITE RIGHT JOIN DETT_ORD ON ") + QStringLiteral("VENDITE.CODCLI=DETT_ORD.CODCLI AND ")
              + QStringLiteral("VENDITE.NUMORD=DETT_ORD.NUMORD AND ")
              + QStringLiteral("VENDITE.DATA=DETT_ORD.DATA AND ") + QStringLiteral("VENDITE.DITTA=DETT_ORD.DITTA AND ")
              + QStringLiteral("VENDITE.TIPODEP=DETT_ORD.LIB3 WHERE ") + QStringLiteral("(ISNULL(VENDITE.NUMORD) AND ")
              + QStringLiteral("(ISNULL(VENDITE.DITTA) OR ")
              + QStringLiteral("(NOT ISNULL(VENDITE.DITTA) AND VENDITE.DITTA<>'VARIE')))"),
          "DETT_ORD", "6", ".CODCLI", ".NUMORD", ".DATA", ".LIB3", ".DITTA", "RIGA"}},
        // 21
        {QStringLiteral("Controllo dettagli Fatture isolati"),
         ENP,
         {QStringLiteral("FATTURE RIGHT JOIN DETT_FAT ON ") + QStringLiteral("FATTURE.CODCLI=DETT_FAT.CODCLI AND ")
              + QStringLiteral("FATTURE.NUMFAT=DETT_FAT.NUMFAT AND ")
              + QStringLiteral("FATTURE.DATA=DETT_FAT.DATA AND ") + QStringLiteral("FATTURE.CODDITTA=DETT_FAT.DITTA ")
              + QStringLiteral("WHERE (ISNULL(FATTURE.NUMFAT) AND ") + QStringLiteral("(ISNULL(FATTURE.CODDITTA) OR ")
              + QStringLiteral("(NOT ISNULL(FATTURE.CODDITTA) AND FATTURE.CODDITTA<>'VARIE')))"),
          "DETT_FAT", "5", ".CODCLI", ".NUMFAT", ".DATA", "DITTA", "RIGA"}},
        // 22
        {QStringLiteral("Controllo Relazioni Clienti-Ditte scollegate dai Clienti"),
         ENC,
         {"CLIDITT", "CLIENTI", "CODCLI", "CODICE", "RAGSOC"}},
        // 23
        {QStringLiteral("Controllo Relazioni Clienti-Ditte scollegate dai Fornitori"),
         ENC,
         {"CLIDITT", "FORNIT", "CODDIT", "COD", "RAGSOC"}},
        // 24
        {QStringLiteral("Controllo Relazioni Clienti-Ditte senza modalità di pagamento"),
         ENC,
         {"CLIDITT", "MODPAGAM", "PAGAM", "COD", "DES"}},
        // 25
        {QStringLiteral("Controllo Schede Vuote Agenda"),
         EN,
         {QStringLiteral("AGENDA WHERE ISNULL(GIORNO) OR ISNULL(TESTO) OR TRIM(TESTO)=''")}},
        // 26
        {QStringLiteral("Controllo Pagamenti scollegati da Clienti"),
         ENC,
         {"PAGAM", "CLIENTI", "CODCLI", "CODICE", "RAGSOC"}},
        // 27
        {QStringLiteral("Controllo Pagamenti scollegati da Agenti"),
         ENC,
         {"PAGAM", "AGENTI", "AGENTE", "CODAGE", "RAGSOC"}},
        // 28
        {QStringLiteral("Controllo Pagamenti scollegati da Fornitori"),
         ENC,
         {"PAGAM", "FORNIT", "DITTA", "COD", "RAGSOC", "AGENZIA"}},
        // 29
        {QStringLiteral("Controllo Distinte scollegate da Pagamenti"),
         ENP,
         {QStringLiteral("RISOLTI LEFT JOIN PAGAM_RISOLTI ON ") + QStringLiteral("RISOLTI.IDRIS=PAGAM_RISOLTI.IDRIS ")
              + QStringLiteral("WHERE ISNULL(PAGAM_RISOLTI.IDRIS)"),
          "RISOLTI", "1", ".IDRIS"}},
    };
}

}  // namespace

const std::vector<VoceCatalogo>& VociCatalogo()
{
    static const std::vector<VoceCatalogo> voci = costruisci();
    return voci;
}

QString DescrizioneStruttura(const QString& tabella)
{
    return QStringLiteral("Controllo Struttura Tabella <<") + tabella.toUpper() + QStringLiteral(">>");
}

void CaricaTask(Manutenzione& m)
{
    m.NumTask = 0;
    m.LstTask.Svuota();
    if (m.sessione().DbMaster.isNull())
        throw dbe::DbError::make(dbe::err::ObjectInvalid);
    // One structure check per ordinary table of the master, in the engine's order; the engine's
    // own tables carry a bit of the system-object mask.
    const dbe::TableDefCollection tabelle = m.sessione().DbMaster.TableDefs();
    // The table has room for 150 tasks: structure checks beyond what leaves room for the data
    // checks are not added, so that the data checks are always there.
    const int postiStruttura = MaxTask - int(VociCatalogo().size());
    const int n = tabelle.Count();
    for (int i = 0; i < n && m.NumTask < postiStruttura; ++i) {
        const dbe::TableDef td = tabelle.Item(i);
        if ((td.Attributes() & dbe::dbSystemObject) != 0)
            continue;
        m.AggiungiTask(DescrizioneStruttura(td.Name()), QStringLiteral("ST"), {td.Name()});
    }
    for (const VoceCatalogo& v : VociCatalogo())
        m.AggiungiTask(v.Descrizione, v.Tipo, v.P);
}

}  // namespace corvale
