#include "archivi_prova.h"

#include "core/sessione.h"
#include "core/guardia_archivio.h"
#include "safety/sessione_sicurezza.h"

namespace corvale::prova {

void Esegui(const dbe::Database& db, const QStringList& istruzioni)
{
    for (const QString& s : istruzioni)
        db.Execute(s);
}

dbe::Database CreaArchivioCompleto(const QString& file)
{
    dbe::Database db = dbe::CreateDatabase(file);
    Esegui(db, {
                   "CREATE TABLE CLIENTI (CODICE TEXT(10), RAGSOC TEXT(50))",
                   "CREATE TABLE FORNIT (COD TEXT(10), RAGSOC TEXT(50))",
                   "CREATE TABLE AGENTI (CODAGE TEXT(10), RAGSOC TEXT(50))",
                   "CREATE TABLE AGENZIA (COD TEXT(10), RAG TEXT(50), VERSDB TEXT(5))",
                   "CREATE TABLE PRODOTTI (CODICE TEXT(10), DESCR TEXT(50), FORNITORE TEXT(10))",
                   "CREATE TABLE LINEE (LINEA TEXT(10), DESCR TEXT(50))",
                   "CREATE TABLE VENDITE (NUMORD TEXT(10), CODCLI TEXT(10), CODAGE TEXT(10), DITTA TEXT(10), "
                   "CODAGENZIA TEXT(10), DATA DATETIME, TIPODEP TEXT(10), LIB3 TEXT(10))",
                   "CREATE TABLE FATTURE (NUMFAT TEXT(10), CODCLI TEXT(10), CODAGE TEXT(10), CODDITTA TEXT(10), "
                   "CODAGENZIA TEXT(10), DATA DATETIME)",
                   "CREATE TABLE DETT_ORD (CODCLI TEXT(10), NUMORD TEXT(10), DATA DATETIME, DITTA TEXT(10), "
                   "LIB3 TEXT(10), RIGA LONG)",
                   "CREATE TABLE DETT_FAT (CODCLI TEXT(10), NUMFAT TEXT(10), DATA DATETIME, DITTA TEXT(10), RIGA LONG)",
                   "CREATE TABLE CLIDITT (CODCLI TEXT(10), CODDIT TEXT(10), PAGAM TEXT(10))",
                   "CREATE TABLE MODPAGAM (COD TEXT(10), DES TEXT(50))",
                   "CREATE TABLE AGENDA (GIORNO DATETIME, TESTO TEXT(100))",
                   "CREATE TABLE PAGAM (CODCLI TEXT(10), AGENTE TEXT(10), DITTA TEXT(10))",
                   "CREATE TABLE RISOLTI (IDRIS LONG)",
                   "CREATE TABLE PAGAM_RISOLTI (IDRIS LONG)",
               });
    return db;
}

void AzzeraAmbiente()
{
    Sessione& s = SessioneProva();
    AzzeraSicurezza(s);
    s.ChiudiDatabase();
    s.DbArchivi.Guardia()->Arma(false);
    s.ImpostaOperatore(OperatoreDiProva());
    s.PathArchivi.clear();
    s.VersioneMaster.clear();
    s.ImpostaCartellaProgramma(QString());
    s.ImpostaPercorsoMaster(QString());
}

void RiempiRecordDaCorreggere(const dbe::Database& db, int n, const QStringList& prima)
{
    QStringList s = prima;
    s << "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')"
      << "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('VARIE', 'Varie')";
    for (int i = 0; i < n; ++i)
        s << QString("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'Senza codice %1')").arg(i)
          << QString("INSERT INTO VENDITE (CODCLI, NUMORD, DATA, DITTA) VALUES ('ZZ', '%1', #03/15/2001#, 'NESSUNO')")
                 .arg(i);
    dbe::Workspace::Default().BeginTrans();
    Esegui(db, s);
    dbe::Workspace::Default().CommitTrans();
}

}  // namespace corvale::prova
