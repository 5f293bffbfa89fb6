// The check catalogue: the 29 entries exactly as the checks and corrections read them, and the
// catalogue load from a master database.
#include "core/sessione.h"
#include "checks/catalogo.h"
#include "core/manutenzione.h"
#include "support/archivi_prova.h"

#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {
const VoceCatalogo& voce(int numero) { return VociCatalogo().at(numero - 1); }
}  // namespace

TEST(Catalogo, EntriesTypesAndParameters)
{
    ASSERT_EQ(VociCatalogo().size(), 29u);
    QMap<QString, int> perTipo;
    for (const VoceCatalogo& v : VociCatalogo())
        ++perTipo[v.Tipo];
    EXPECT_EQ(perTipo["EN"], 9);
    EXPECT_EQ(perTipo["ENC"], 15);
    EXPECT_EQ(perTipo["ENP"], 5);

    EXPECT_EQ(voce(1).Descrizione, "Controllo Schede Vuote Clienti");
    EXPECT_EQ(voce(1).P, QStringList({"CLIENTI WHERE ISNULL(CODICE) OR ISNULL(RAGSOC) OR TRIM(RAGSOC)=''"}));
    EXPECT_EQ(voce(25).P, QStringList({"AGENDA WHERE ISNULL(GIORNO) OR ISNULL(TESTO) OR TRIM(TESTO)=''"}));
    // 16 and 17 share their description but not their query.
    EXPECT_EQ(voce(16).Descrizione, voce(17).Descrizione);
    EXPECT_EQ(voce(17).P[0], "FATTURE WHERE ISNULL(NUMFAT) OR TRIM(NUMFAT)=''");
    EXPECT_EQ(voce(24).Descrizione, QString::fromUtf8("Controllo Relazioni Clienti-Ditte senza modalità di pagamento"));

    // Only three orphan checks carry a fixed code.
    for (int n = 1; n <= 29; ++n) {
        const VoceCatalogo& v = voce(n);
        if (v.Tipo != "ENC")
            continue;
        if (n == 9 || n == 13)
            EXPECT_EQ(v.P, QStringList({v.P[0], "FORNIT", v.P[2], "COD", "RAGSOC", "VARIE"})) << n;
        else if (n == 28)
            EXPECT_EQ(v.P, QStringList({"PAGAM", "FORNIT", "DITTA", "COD", "RAGSOC", "AGENZIA"}));
        else
            EXPECT_EQ(v.P.size(), 5) << n;
    }
    EXPECT_EQ(voce(27).P, QStringList({"PAGAM", "AGENTI", "AGENTE", "CODAGE", "RAGSOC"}));
    EXPECT_EQ(voce(23).P, QStringList({"CLIDITT", "FORNIT", "CODDIT", "COD", "RAGSOC"}));

    // The joined checks: the field count matches the names that follow it.
    for (int n : {18, 19, 20, 21, 29}) {
        const VoceCatalogo& v = voce(n);
        ASSERT_EQ(v.Tipo, "ENP");
        EXPECT_EQ(v.P.size(), 3 + v.P[2].toInt()) << n;
    }
    EXPECT_EQ(voce(18).P.mid(1), QStringList({"VENDITE", "5", ".CODCLI", ".NUMORD", ".DATA", ".DITTA", "TIPODEP"}));
    EXPECT_EQ(voce(20).P.mid(1),
              QStringList({"DETT_ORD", "6", ".CODCLI", ".NUMORD", ".DATA", ".LIB3", ".DITTA", "RIGA"}));
    EXPECT_EQ(voce(29).P, QStringList({"RISOLTI LEFT JOIN PAGAM_RISOLTI ON RISOLTI.IDRIS=PAGAM_RISOLTI.IDRIS "
                                       "WHERE ISNULL(PAGAM_RISOLTI.IDRIS)",
                                       "RISOLTI", "1", ".IDRIS"}));
    EXPECT_EQ(voce(18).P[0],
              "VENDITE LEFT JOIN DETT_ORD ON VENDITE.CODCLI=DETT_ORD.CODCLI AND VENDITE.NUMORD=DETT_ORD.NUMORD "
              "AND VENDITE.DATA=DETT_ORD.DATA AND VENDITE.DITTA=DETT_ORD.DITTA AND VENDITE.TIPODEP=DETT_ORD.LIB3 "
              "WHERE VENDITE.DITTA<>'VARIE' AND ISNULL(DETT_ORD.NUMORD)");
    EXPECT_EQ(voce(21).P[0],
              "FATTURE RIGHT JOIN DETT_FAT ON FATTURE.CODCLI=DETT_FAT.CODCLI AND FATTURE.NUMFAT=DETT_FAT.NUMFAT "
              "AND FATTURE.DATA=DETT_FAT.DATA AND FATTURE.CODDITTA=DETT_FAT.DITTA WHERE (ISNULL(FATTURE.NUMFAT) "
              "AND (ISNULL(FATTURE.CODDITTA) OR (NOT ISNULL(FATTURE.CODDITTA) AND FATTURE.CODDITTA<>'VARIE')))");
    EXPECT_TRUE(voce(19).P[0].contains("FATTURE.CODDITTA=DETT_FAT.DITTA WHERE FATTURE.CODDITTA<>'VARIE' AND "
                                       "ISNULL(DETT_FAT.NUMFAT)"));
}

class CaricaCatalogo : public ::testing::Test {
protected:
    void TearDown() override { prova::AzzeraAmbiente(); }
    QTemporaryDir dir;
};

TEST_F(CaricaCatalogo, MasterWithoutOrdinaryTablesGivesOnlyTheDataChecks)
{
    SessioneProva().DbMaster = dbe::CreateDatabase(dir.filePath("esempio.mdb"));
    Manutenzione m{SessioneProva()};
    CaricaTask(m);
    ASSERT_EQ(m.NumTask, 29);
    EXPECT_EQ(m.LstTask.Riga(0).Chiave, "0001K");
    EXPECT_EQ(m.LstTask.Riga(0).Testo, "Controllo Schede Vuote Clienti");
    EXPECT_EQ(m.ElencoTask[1].Tipo, "EN");
}

TEST_F(CaricaCatalogo, OneStructureCheckPerMasterTableThenTheDataChecks)
{
    SessioneProva().DbMaster = dbe::CreateDatabase(dir.filePath("esempio.mdb"));
    prova::Esegui(SessioneProva().DbMaster,
                  {"CREATE TABLE Clienti (CODICE TEXT(10))", "CREATE TABLE AGENTI (CODAGE TEXT(10))",
                   "CREATE TABLE Zona (Z TEXT(10))"});
    Manutenzione m{SessioneProva()};
    m.AggiungiTask("vecchio", "EN", {});
    CaricaTask(m);
    CaricaTask(m);  // a reload starts over
    ASSERT_EQ(m.NumTask, 32);
    ASSERT_EQ(m.LstTask.Conta(), 32);

    const dbe::TableDefCollection tabelle = SessioneProva().DbMaster.TableDefs();
    QStringList attese;
    for (int i = 0; i < tabelle.Count(); ++i)
        if ((tabelle.Item(i).Attributes() & dbe::dbSystemObject) == 0)
            attese << tabelle.Item(i).Name();
    ASSERT_EQ(attese.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.ElencoTask[i + 1].Tipo, "ST");
        EXPECT_EQ(m.ElencoTask[i + 1].P[0], attese[i]);
        EXPECT_EQ(m.LstTask.Riga(i).Testo, "Controllo Struttura Tabella <<" + attese[i].toUpper() + ">>");
    }
    const int clienti = attese.indexOf("Clienti");
    EXPECT_EQ(m.LstTask.Riga(clienti).Testo, "Controllo Struttura Tabella <<CLIENTI>>");
    EXPECT_EQ(m.LstTask.Riga(3).Chiave, "0004K");
    EXPECT_EQ(m.LstTask.Riga(3).Testo, "Controllo Schede Vuote Clienti");
    EXPECT_EQ(m.LstTask.Riga(31).Chiave, "0032K");
    EXPECT_EQ(m.LstTask.Riga(31).Testo, "Controllo Distinte scollegate da Pagamenti");
    EXPECT_EQ(m.ElencoTask[32].P[3], ".IDRIS");
    for (int i = 0; i < 32; ++i)
        EXPECT_TRUE(m.LstTask.Riga(i).Spuntata);
}
