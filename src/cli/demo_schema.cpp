#include "demo_schema.h"

#include "dbengine/db_types.h"

namespace corvale::cli::demo {

namespace {

using namespace dbe;

CampoDemo testo(const char* nome, qint32 dim) { return {QString::fromLatin1(nome), dbText, dim, 0}; }
CampoDemo tipo(const char* nome, short t) { return {QString::fromLatin1(nome), t, 0, 0}; }
CampoDemo contatore(const char* nome) { return {QString::fromLatin1(nome), dbLong, 0, dbFixedField | dbAutoIncrField}; }
CampoDemo collegamento(const char* nome)
{
    return {QString::fromLatin1(nome), dbMemo, 0, dbVariableField | dbHyperlinkField};
}

IndiceDemo primario(const QStringList& campi) { return {QStringLiteral("PrimaryKey"), campi, true, true}; }
IndiceDemo indice(const char* nome, const QStringList& campi, bool unico = false)
{
    return {QString::fromLatin1(nome), campi, false, unico};
}

ProprietaDemo descrizione(const QString& testo) { return {QStringLiteral("Description"), dbText, testo}; }
// Properties the forms of the business program leave on its tables; the structure comparison
// passes over them.
ProprietaDemo orientamento() { return {QStringLiteral("Orientation"), dbByte, 0}; }
ProprietaDemo ordinaAttivo() { return {QStringLiteral("OrderByOn"), dbBoolean, false}; }
ProprietaDemo altezzaRiga() { return {QStringLiteral("RowHeight"), dbInteger, -1}; }

// The registers: agencies, agents, customers, suppliers, product lines and products, payment
// terms and the customers' terms with each supplier.
void anagrafiche(QVector<TabellaDemo>& t)
{
    t.append({QStringLiteral("AGENZIA"),
              {testo("COD", 6), testo("RAG", 50), testo("INDIRIZZO", 60), testo("CAP", 5), testo("CITTA", 40),
               testo("PROV", 2), testo("PIVA", 11), testo("TELEFONO", 20), testo("EMAIL", 60), testo("VERSDB", 5),
               tipo("NOTE", dbMemo)},
              {primario({"COD"})},
              {descrizione(QStringLiteral("Agenzie e sedi; il primo record porta la versione del database")),
               orientamento()}});

    t.append({QStringLiteral("AGENTI"),
              {testo("CODAGE", 6), testo("RAGSOC", 50), testo("INDIRIZZO", 60), testo("CITTA", 40), testo("PROV", 2),
               testo("TELEFONO", 20), testo("EMAIL", 60), tipo("PROVVIGIONE", dbSingle), testo("ZONA", 30),
               tipo("NOTE", dbMemo)},
              {primario({"CODAGE"}), indice("RAGSOC", {"RAGSOC"})},
              {descrizione(QStringLiteral("Agenti di vendita")), orientamento(), altezzaRiga()}});

    t.append({QStringLiteral("CLIENTI"),
              {testo("CODICE", 10), testo("RAGSOC", 50), testo("INDIRIZZO", 60), testo("CAP", 5), testo("CITTA", 40),
               testo("PROV", 2), testo("PIVA", 11), testo("CODFISC", 16), testo("TELEFONO", 20), testo("CELLULARE", 20),
               testo("FAX", 20), testo("EMAIL", 60), collegamento("SITOWEB"), testo("CODAGE", 6), tipo("ZONA", dbLong),
               tipo("GGPAG", dbInteger), tipo("FIDO", dbCurrency), tipo("DATAINS", dbDate), tipo("NOTE", dbMemo)},
              {primario({"CODICE"}), indice("RAGSOC", {"RAGSOC", "CITTA"}), indice("CITTA", {"CITTA"}),
               indice("CODAGE", {"CODAGE"}), indice("PIVA", {"PIVA"})},
              {descrizione(QStringLiteral("Anagrafica clienti")), orientamento(), altezzaRiga()}});

    t.append({QStringLiteral("FORNIT"),
              {testo("COD", 10), testo("RAGSOC", 50), testo("INDIRIZZO", 60), testo("CAP", 5), testo("CITTA", 40),
               testo("PROV", 2), testo("PIVA", 11), testo("TELEFONO", 20), testo("EMAIL", 60), collegamento("SITOWEB"),
               tipo("PROVVIGIONE", dbSingle), tipo("NOTE", dbMemo)},
              {primario({"COD"}), indice("RAGSOC", {"RAGSOC"})},
              {descrizione(QStringLiteral("Ditte fornitrici e mandanti")), orientamento()}});

    t.append({QStringLiteral("LINEE"),
              {testo("LINEA", 4), testo("DESCR", 50), tipo("SCONTOMAX", dbSingle)},
              {primario({"LINEA"})},
              {descrizione(QStringLiteral("Linee di prodotto"))}});

    t.append({QStringLiteral("PRODOTTI"),
              {testo("CODICE", 15), testo("DESCR", 60), testo("LINEA", 4), testo("FORNITORE", 10), testo("UM", 3),
               tipo("PREZZO", dbCurrency), tipo("COSTO", dbCurrency), tipo("IVA", dbInteger), tipo("GIACENZA", dbLong),
               tipo("NOTE", dbMemo)},
              {primario({"CODICE"}), indice("DESCR", {"DESCR"}), indice("FORNITORE", {"FORNITORE"}),
               indice("LINEA", {"LINEA"})},
              {descrizione(QStringLiteral("Listino prodotti")), orientamento(), ordinaAttivo()}});

    t.append({QStringLiteral("MODPAGAM"),
              {testo("COD", 4), testo("DES", 40), tipo("GIORNI", dbInteger), tipo("RATE", dbByte),
               tipo("FINEMESE", dbBoolean)},
              {primario({"COD"})},
              {descrizione(QStringLiteral("Modalità di pagamento"))}});

    t.append({QStringLiteral("CLIDITT"),
              {testo("CODCLI", 10), testo("CODDIT", 10), testo("PAGAM", 4), tipo("SCONTO", dbSingle),
               testo("LISTINO", 10), tipo("NOTE", dbMemo)},
              {primario({"CODCLI", "CODDIT"}), indice("CODDIT", {"CODDIT"})},
              {descrizione(QStringLiteral("Condizioni dei clienti presso le ditte"))}});
}

// The documents: orders and invoices, each with its lines.
void documenti(QVector<TabellaDemo>& t)
{
    t.append(
        {QStringLiteral("VENDITE"),
         {contatore("ID"), testo("NUMORD", 10), tipo("DATA", dbDate), testo("CODCLI", 10), testo("CODAGE", 6),
          testo("DITTA", 10), testo("CODAGENZIA", 6), testo("TIPODEP", 3), testo("STATO", 1), testo("CODPAG", 4),
          tipo("CONSEGNA", dbDate), tipo("IMPONIBILE", dbCurrency), tipo("IVA", dbCurrency), tipo("TOTALE", dbCurrency),
          testo("LIB1", 20), testo("LIB2", 20), testo("LIB3", 3), tipo("NOTE", dbMemo)},
         {primario({"ID"}), indice("NUMORD", {"NUMORD"}), indice("CODCLI", {"CODCLI"}), indice("DATA", {"DATA"}),
          indice("DOCUMENTO", {"CODCLI", "NUMORD", "DATA", "DITTA", "TIPODEP"})},
         {descrizione(QStringLiteral("Ordini e offerte")), orientamento(), altezzaRiga()}});

    t.append({QStringLiteral("DETT_ORD"),
              {contatore("ID"), testo("CODCLI", 10), testo("NUMORD", 10), tipo("DATA", dbDate), testo("DITTA", 10),
               testo("LIB1", 20), testo("LIB2", 20), testo("LIB3", 3), tipo("RIGA", dbInteger), testo("CODPROD", 15),
               testo("DESCR", 60), tipo("QTA", dbDouble), testo("UM", 3), tipo("PREZZO", dbCurrency),
               tipo("SCONTO", dbSingle), tipo("IVA", dbInteger)},
              {primario({"ID"}), indice("DOCUMENTO", {"CODCLI", "NUMORD", "DATA", "DITTA", "LIB3"}),
               indice("CODPROD", {"CODPROD"})},
              {descrizione(QStringLiteral("Righe degli ordini e delle offerte"))}});

    t.append({QStringLiteral("FATTURE"),
              {contatore("ID"), testo("NUMFAT", 10), tipo("DATA", dbDate), testo("CODCLI", 10), testo("CODAGE", 6),
               testo("CODDITTA", 10), testo("CODAGENZIA", 6), testo("NUMORD", 10), testo("CODPAG", 4),
               tipo("SCADENZA", dbDate), tipo("IMPONIBILE", dbCurrency), tipo("IVA", dbCurrency),
               tipo("TOTALE", dbCurrency), tipo("PAGATA", dbBoolean), tipo("NOTE", dbMemo)},
              {primario({"ID"}), indice("NUMFAT", {"NUMFAT"}), indice("CODCLI", {"CODCLI"}),
               indice("DOCUMENTO", {"CODCLI", "NUMFAT", "DATA", "CODDITTA"})},
              {descrizione(QStringLiteral("Fatture")), orientamento()}});

    t.append({QStringLiteral("DETT_FAT"),
              {contatore("ID"), testo("CODCLI", 10), testo("NUMFAT", 10), tipo("DATA", dbDate), testo("DITTA", 10),
               tipo("RIGA", dbInteger), testo("CODPROD", 15), testo("DESCR", 60), tipo("QTA", dbDouble),
               tipo("PREZZO", dbCurrency), tipo("SCONTO", dbSingle), tipo("IVA", dbInteger)},
              {primario({"ID"}), indice("DOCUMENTO", {"CODCLI", "NUMFAT", "DATA", "DITTA"})},
              {descrizione(QStringLiteral("Righe delle fatture"))}});
}

// The payments collected and the deposit slips that gather them.
void incassi(QVector<TabellaDemo>& t)
{
    t.append({QStringLiteral("PAGAM"),
              {contatore("ID"), tipo("DATA", dbDate), testo("CODCLI", 10), testo("AGENTE", 6), testo("DITTA", 10),
               testo("NUMFAT", 10), tipo("IMPORTO", dbCurrency), testo("MODALITA", 4), tipo("NOTE", dbMemo)},
              {primario({"ID"}), indice("CODCLI", {"CODCLI"}), indice("DATA", {"DATA"})},
              {descrizione(QStringLiteral("Pagamenti incassati")), orientamento()}});

    t.append({QStringLiteral("RISOLTI"),
              {tipo("IDRIS", dbLong), tipo("DATA", dbDate), testo("DESCR", 50), testo("BANCA", 40),
               tipo("TOTALE", dbCurrency)},
              {primario({"IDRIS"})},
              {descrizione(QStringLiteral("Distinte di versamento"))}});

    t.append({QStringLiteral("PAGAM_RISOLTI"),
              {tipo("IDRIS", dbLong), tipo("IDPAG", dbLong)},
              {primario({"IDRIS", "IDPAG"}), indice("IDPAG", {"IDPAG"})},
              {descrizione(QStringLiteral("Pagamenti compresi nelle distinte"))}});
}

// The master's tables, group by group; the order is the one the demo creates them in.
QVector<TabellaDemo> costruisci()
{
    QVector<TabellaDemo> t;
    anagrafiche(t);
    documenti(t);
    incassi(t);

    t.append({QStringLiteral("AGENDA"),
              {contatore("ID"), tipo("GIORNO", dbDate), testo("ORA", 5), testo("TESTO", 200), testo("CODCLI", 10),
               testo("CODAGE", 6), tipo("FATTO", dbBoolean)},
              {primario({"ID"}), indice("GIORNO", {"GIORNO"})},
              {descrizione(QStringLiteral("Agenda degli appuntamenti")), altezzaRiga()}});

    return t;
}

}  // namespace

const CampoDemo* TabellaDemo::campo(const QString& nomeCampo) const
{
    for (const CampoDemo& c : campi)
        if (c.nome == nomeCampo)
            return &c;
    return nullptr;
}

const QVector<TabellaDemo>& SchemaMaster()
{
    static const QVector<TabellaDemo> schema = costruisci();
    return schema;
}

const TabellaDemo* TabellaMaster(const QString& nome)
{
    for (const TabellaDemo& t : SchemaMaster())
        if (t.nome == nome)
            return &t;
    return nullptr;
}

}  // namespace corvale::cli::demo
