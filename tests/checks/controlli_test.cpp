// The data checks on small archives, and the run loop without a window.
#include "checks/ciclo_controllo.h"
#include "core/sessione.h"
#include "core/operatore.h"
#include "checks/catalogo.h"
#include "checks/controllo_recup.h"
#include "core/manutenzione.h"
#include "support/archivi_prova.h"
#include "support/sqlite_file.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

const QString kFallito = "Impossibile eseguire il controllo... probabile errore di definizione struttura.";

class ControlliDati : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OperatoreDiProva().Azzera();
        OperatoreDiProva().ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
        SessioneProva().DbArchivi = prova::CreaArchivioCompleto(dir.filePath("lumera.mdb"));
    }
    void TearDown() override
    {
        OperatoreDiProva().Azzera();
        prova::AzzeraAmbiente();
    }
    // Adds catalogue entry n as a task and runs its check; returns its record.
    const DatiTask& esegui(int n)
    {
        const VoceCatalogo& v = VociCatalogo().at(n - 1);
        m.AggiungiTask(v.Descrizione, v.Tipo, v.P);
        const int li = m.LstTask.Conta() - 1;
        m.Task(li).Correggibile = "?";
        ControlloItem(m, li);
        return m.Task(li);
    }
    void sql(const QStringList& s) { prova::Esegui(SessioneProva().DbArchivi, s); }

    QTemporaryDir dir;
    Manutenzione m{SessioneProva()};
};

}  // namespace

TEST_F(ControlliDati, EmptyRecordCheckPassesCountsAndFails)
{
    const DatiTask& vuoto = esegui(1);
    EXPECT_EQ(vuoto.Stato, "VER_OK");
    EXPECT_EQ(vuoto.Dettaglio, "Controllo superato con successo");
    EXPECT_EQ(vuoto.Correggibile, "");
    EXPECT_FALSE(m.LstTask.Riga(0).Spuntata);

    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (NULL, 'Bianchi')",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', NULL)",
         "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C4', '   ')"});
    const DatiTask& tre = esegui(1);
    EXPECT_EQ(tre.Stato, "VER_PRB");
    EXPECT_EQ(tre.Dettaglio, "Rilevati 3 record nulli o scollegati");
    EXPECT_EQ(tre.Correggibile, "");
    EXPECT_EQ(m.LstTask.Riga(1).TestoStato, "Rilevati Problemi");
    EXPECT_TRUE(m.LstTask.Riga(1).Spuntata);

    // A missing table is a failed check, reported only in the task.
    sql({"DROP TABLE AGENDA"});
    const DatiTask& agenda = esegui(25);
    EXPECT_EQ(agenda.Stato, "VER_PRB");
    EXPECT_EQ(agenda.Correggibile, "N");
    EXPECT_EQ(agenda.Dettaglio, kFallito);
    EXPECT_EQ(m.LstTask.Riga(2).Icona, "PROBLEMI");
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());
}

TEST_F(ControlliDati, OrphanCheckIgnoresNullAndCaseOfTheKeys)
{
    EXPECT_EQ(CreaSqlNotIn("VENDITE", "FORNIT", "DITTA", "COD"),
              "SELECT * FROM VENDITE WHERE DITTA NOT IN (SELECT DISTINCT COD FROM FORNIT)");
    EXPECT_EQ(CreaSqlNotIn("FATTURE", "AGENTI", "CODAGE", "CODAGE"),
              "SELECT * FROM FATTURE WHERE CODAGE NOT IN (SELECT DISTINCT CODAGE FROM AGENTI)");

    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
         "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('1', 'C1')",
         "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('2', NULL)",
         "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('3', 'c1')"});
    EXPECT_EQ(esegui(7).Stato, "VER_OK");

    sql({"INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('4', 'GONE')",
         "INSERT INTO VENDITE (NUMORD, CODCLI) VALUES ('5', 'GONE')"});
    const DatiTask& due = esegui(7);
    EXPECT_EQ(due.Stato, "VER_PRB");
    EXPECT_EQ(due.Dettaglio, "Rilevati 2 record nulli o scollegati");
    EXPECT_EQ(due.Correggibile, "");

    // Without the master table the query cannot run.
    sql({"DROP TABLE MODPAGAM", "INSERT INTO CLIDITT (CODCLI, CODDIT, PAGAM) VALUES ('C1', 'F1', 'P1')"});
    const DatiTask& pagam = esegui(24);
    EXPECT_EQ(pagam.Stato, "VER_PRB");
    EXPECT_EQ(pagam.Correggibile, "N");
    EXPECT_EQ(pagam.Dettaglio, kFallito);
}

TEST_F(ControlliDati, JoinedChecksLookUpTheirKeyFieldsOnlyWhenTheyFindRecords)
{
    sql({"INSERT INTO RISOLTI (IDRIS) VALUES (1)", "INSERT INTO RISOLTI (IDRIS) VALUES (2)",
         "INSERT INTO PAGAM_RISOLTI (IDRIS) VALUES (1)"});
    const DatiTask& distinte = esegui(29);
    EXPECT_EQ(distinte.Stato, "VER_PRB");
    EXPECT_EQ(distinte.Dettaglio, "Rilevati 1 record nulli o scollegati");

    // An order without detail lines, and a detail line without its order: the qualified names
    // (VENDITE.CODCLI, DETT_ORD.LIB3) and the bare ones (TIPODEP, RIGA) must all be found.
    sql({"INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA, TIPODEP) VALUES ('7', 'C1', 'F1', #03/15/2024#, 'A')",
         "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA, TIPODEP) VALUES ('8', 'C1', 'VARIE', #03/15/2024#, 'A')",
         "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA) VALUES ('C2', '9', #03/16/2024#, 'F1', 'A', "
         "1)"});
    EXPECT_EQ(esegui(18).Dettaglio, "Rilevati 1 record nulli o scollegati");
    EXPECT_EQ(esegui(20).Dettaglio, "Rilevati 1 record nulli o scollegati");

    // A key field the result lacks fails the check, but only when the query finds records.
    const VoceCatalogo& v = VociCatalogo().at(28);
    QStringList p = v.P;
    p[3] = ".NONESISTE";
    m.AggiungiTask(v.Descrizione, v.Tipo, p);
    const int li = m.LstTask.Conta() - 1;
    ControlloItem(m, li);
    EXPECT_EQ(m.Task(li).Stato, "VER_PRB");
    EXPECT_EQ(m.Task(li).Correggibile, "N");
    EXPECT_EQ(m.Task(li).Dettaglio, kFallito);
    sql({"INSERT INTO PAGAM_RISOLTI (IDRIS) VALUES (2)"});
    ControlloItem(m, li);
    EXPECT_EQ(m.Task(li).Stato, "VER_OK");
    EXPECT_FALSE(m.LstTask.Riga(li).Spuntata);
}

TEST_F(ControlliDati, RunLoopTrimsTheListAndSkipsUntickedRows)
{
    const VoceCatalogo& clienti = VociCatalogo().at(0);
    m.AggiungiTask(clienti.Descrizione, "EN", clienti.P);
    m.AggiungiTask("tipo sconosciuto", "XX", {});
    m.AggiungiTask(clienti.Descrizione, "EN", clienti.P);
    m.LstTask.ImpostaSpunta(2, false);
    int cessioni = 0;
    QStringList avanzamento;
    m.Cedi = [&] {
        ++cessioni;
        avanzamento << m.LblStat();
    };
    AvviaControllo(m);
    EXPECT_EQ(cessioni, 3);
    EXPECT_EQ(avanzamento[1], QString("Analisi dati in corso ...") + QChar(13) + "[tipo sconosciuto]");
    // The passed task and the unticked one are gone; the unknown type stays in "CTRL".
    ASSERT_EQ(m.LstTask.Conta(), 1);
    EXPECT_EQ(m.LstTask.Riga(0).Chiave, "0002K");
    EXPECT_EQ(m.ElencoTask[2].Stato, "CTRL");
    EXPECT_EQ(m.LstTask.Selezionata(), 0);
    EXPECT_TRUE(m.ElencoTask[3].Stato.isEmpty());

    m.LstTask.ImpostaSpunta(0, false);
    AvviaControllo(m);
    EXPECT_EQ(OperatoreDiProva().Mostrati(), QStringList({"Nessuna azione selezionata."}));
    EXPECT_EQ(m.LstTask.Conta(), 1);

    // Every ticked task passes: the list empties and the detail says so.
    Manutenzione tutti{SessioneProva()};
    tutti.AggiungiTask(clienti.Descrizione, "EN", clienti.P);
    tutti.AggiungiTask("Distinte", "ENP", VociCatalogo().at(28).P);
    AvviaControllo(tutti);
    EXPECT_EQ(tutti.LstTask.Conta(), 0);
    EXPECT_EQ(tutti.TxtDett(), "Nessun problema riscontrato");
    EXPECT_FALSE(tutti.Interrompi);
}

namespace {

// A code as another program may have written it: each letter in either case, or no code at all.
QString codiceGenerato(QRandomGenerator& r)
{
    static const QStringList codici{"C1", "C2", "ÈR7", "àb", "VARIE", "GONE", "F1"};
    const int k = r.bounded(codici.size() + 2);
    if (k == codici.size())
        return "NULL";
    if (k == codici.size() + 1)
        return r.bounded(2) ? "''" : "'  '";
    QString c;
    for (const QChar ch : codici[k])
        c += r.bounded(2) ? ch.toUpper() : ch.toLower();
    return "'" + c + "'";
}

// A date in one of the stored forms, an unreadable text or none: one of three days.
QString dataGenerata(QRandomGenerator& r)
{
    const int g = 1 + r.bounded(3);
    switch (r.bounded(7)) {
    case 0: return QString("'2024-03-0%1 00:00:00'").arg(g);
    case 1: return QString("'2024-03-0%1'").arg(g);
    case 2: return QString("'2024/03/0%1T00:00:00.000Z'").arg(g);
    case 3: return QString::number(45351 + g);
    case 4: return QString("'%1,0'").arg(45351 + g);
    case 5: return "'domani'";
    default: return "NULL";
    }
}

}  // namespace

// Each check's count is the number of records its query lists for the problem-record view, on
// archives of codes in any case, dates in every stored form, unreadable and missing values, with
// and without the indexes a count may read instead of the records.
TEST_F(ControlliDati, CountsEqualTheRecordsTheQueryLists)
{
    const QString file = SessioneProva().DbArchivi.Name();
    for (quint32 seme = 1; seme <= 4; ++seme) {
        QRandomGenerator r(seme);
        if (seme == 3)
            sql({"CREATE INDEX DOCUMENTO ON VENDITE (CODCLI, NUMORD, DATA, DITTA, TIPODEP)",
                 "CREATE INDEX DOCUMENTO ON DETT_ORD (CODCLI, NUMORD, DATA, DITTA)",
                 "CREATE INDEX DOCUMENTO ON FATTURE (CODCLI, NUMFAT, DATA, CODDITTA)",
                 "CREATE INDEX DOCUMENTO ON DETT_FAT (CODCLI, NUMFAT, DATA, DITTA)",
                 "CREATE INDEX CODCLI ON PAGAM (CODCLI)", "CREATE INDEX CODICE ON CLIENTI (CODICE)",
                 "CREATE INDEX IDRIS ON PAGAM_RISOLTI (IDRIS)"});
        QStringList righe{"BEGIN"};
        const auto riga = [&](const QString& tabella, const QString& campi, const QStringList& valori) {
            righe << QString("INSERT INTO %1 (%2) VALUES (%3)").arg(tabella, campi, valori.join(", "));
        };
        for (int i = 0; i < 60; ++i) {
            const QString c = codiceGenerato(r), n = QString("'%1'").arg(r.bounded(8)), d = dataGenerata(r);
            const QString f = codiceGenerato(r), t = r.bounded(2) ? "'ord'" : "'OFF'";
            if (i < 3) {  // few masters: many references find none
                riga("CLIENTI", "CODICE, RAGSOC", {codiceGenerato(r), r.bounded(4) ? "'Rossi'" : codiceGenerato(r)});
                riga("FORNIT", "COD, RAGSOC", {codiceGenerato(r), "'Bianchi'"});
                riga("AGENTI", "CODAGE, RAGSOC", {codiceGenerato(r), "'Verdi'"});
                riga("AGENZIA", "COD, RAG", {codiceGenerato(r), "'Sede'"});
            }
            riga("VENDITE", "NUMORD, CODCLI, CODAGE, DITTA, CODAGENZIA, DATA, TIPODEP",
                 {r.bounded(6) ? n : codiceGenerato(r), c, codiceGenerato(r), f, codiceGenerato(r), d, t});
            riga("DETT_ORD", "CODCLI, NUMORD, DATA, DITTA, LIB3, RIGA",
                 {r.bounded(3) ? c : codiceGenerato(r), r.bounded(4) ? n : codiceGenerato(r),
                  r.bounded(3) ? d : dataGenerata(r), r.bounded(4) ? f : codiceGenerato(r), r.bounded(4) ? t : "'ORD'",
                  QString::number(i)});
            riga("FATTURE", "NUMFAT, CODCLI, CODAGE, CODDITTA, CODAGENZIA, DATA", {n, c, codiceGenerato(r), f, c, d});
            riga("DETT_FAT", "CODCLI, NUMFAT, DATA, DITTA, RIGA",
                 {r.bounded(3) ? c : codiceGenerato(r), n, r.bounded(3) ? d : dataGenerata(r), f, "1"});
            riga("PAGAM", "CODCLI, AGENTE, DITTA", {codiceGenerato(r), codiceGenerato(r), codiceGenerato(r)});
            const QStringList idris{"1", "2", "'2,0'", "'3'", "'x'", "NULL", "2.5"};
            riga("RISOLTI", "IDRIS", {idris[r.bounded(idris.size())]});
            riga("PAGAM_RISOLTI", "IDRIS", {idris[r.bounded(idris.size())]});
        }
        testsupport::sqliteExec(file, righe.join(";\n") + ";\nCOMMIT;");
        for (int numero = 1; numero <= int(VociCatalogo().size()); ++numero) {
            const VoceCatalogo& v = VociCatalogo().at(size_t(numero - 1));
            const QString query =
                v.Tipo == "ENC" ? CreaSqlNotIn(v.P[0], v.P[1], v.P[2], v.P[3]) : "SELECT * FROM " + v.P[0];
            QString attesa = "Controllo superato con successo";
            try {
                dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(query);
                if (const qint64 n = rs.RecordCount())
                    attesa = QString("Rilevati %1 record nulli o scollegati").arg(n);
                rs.Close();
            } catch (const dbe::DbError&) {
                attesa = kFallito;
            }
            EXPECT_EQ(esegui(numero).Dettaglio, attesa) << "seme " << seme << ", controllo " << numero;
        }
    }
}
