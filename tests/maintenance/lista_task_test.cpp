// The task list's logic without a window: keys and records of added tasks, Id and the states.
#include "core/manutenzione.h"
#include "support/sessione_prova.h"

#include <gtest/gtest.h>
#include "support/stampa_qt.h"

using namespace corvale;

TEST(ListaTask, KeysRecordsAndIdOfAddedTasks)
{
    Manutenzione m{SessioneProva()};
    m.ElencoTask[1].Dettaglio = "vecchio";
    m.ElencoTask[1].P[7] = "resta";
    for (int i = 1; i <= 30; ++i)
        ASSERT_TRUE(m.AggiungiTask(QStringLiteral("Compito %1").arg(i), "ENC", {"A", "B", "C"}));
    EXPECT_EQ(m.NumTask, 30);
    EXPECT_EQ(m.LstTask.Riga(0).Chiave, "0001K");
    EXPECT_EQ(m.LstTask.Riga(29).Chiave, "0030K");
    EXPECT_EQ(m.LstTask.Riga(29).Testo, "Compito 30");
    EXPECT_TRUE(m.LstTask.Riga(29).Spuntata);
    EXPECT_TRUE(m.LstTask.Riga(0).Icona.isEmpty());
    EXPECT_TRUE(m.LstTask.Riga(0).TestoStato.isEmpty());
    // Only Tipo and the given parameters are written; the rest keeps what it had.
    EXPECT_EQ(m.ElencoTask[1].Tipo, "ENC");
    EXPECT_EQ(m.ElencoTask[1].P[2], "C");
    EXPECT_EQ(m.ElencoTask[1].P[7], "resta");
    EXPECT_EQ(m.ElencoTask[1].Dettaglio, "vecchio");
    EXPECT_TRUE(m.ElencoTask[1].Stato.isEmpty());

    EXPECT_EQ(Manutenzione::Id("0007K"), 7);
    EXPECT_EQ(Manutenzione::Id("0150K"), 150);
    EXPECT_EQ(Manutenzione::Id("K0007"), 0);
    EXPECT_EQ(Manutenzione::Id(""), 0);
    EXPECT_EQ(Manutenzione::Id(" 12K"), 12);
    EXPECT_EQ(&m.Task(6), &m.ElencoTask[7]);

    // The table holds 150 tasks and eleven parameters; beyond that nothing is added.
    EXPECT_FALSE(m.AggiungiTask("troppi", "EN", QStringList(12, "p")));
    for (int i = 31; i <= 150; ++i)
        ASSERT_TRUE(m.AggiungiTask("t", "EN", {}));
    EXPECT_FALSE(m.AggiungiTask("centocinquantunesimo", "EN", {}));
    EXPECT_EQ(m.NumTask, 150);
    EXPECT_EQ(m.LstTask.Conta(), 150);
}

TEST(ListaTask, StatesSetIconTextRecordAndRepaint)
{
    Manutenzione m{SessioneProva()};
    int ridisegni = 0;
    m.Ridisegna = [&] { ++ridisegni; };
    m.AggiungiTask("uno", "EN", {"X"});
    m.AggiungiTask("due", "EN", {"Y"});
    m.ElencoTask[2].Dettaglio = "Rilevati 3 record nulli o scollegati";

    m.ImpostaStato(0, "VER_OK");
    EXPECT_EQ(m.LstTask.Riga(0).Icona, "VERIFICATO_OK");
    EXPECT_EQ(m.LstTask.Riga(0).TestoStato, "Verificato (OK)");
    EXPECT_EQ(m.ElencoTask[1].Stato, "VER_OK");
    EXPECT_EQ(m.ElencoTask[1].Dettaglio, "Controllo superato con successo");

    m.ImpostaStato(1, "VER_PRB");
    EXPECT_EQ(m.LstTask.Riga(1).Icona, "PROBLEMI");
    EXPECT_EQ(m.LstTask.Riga(1).TestoStato, "Rilevati Problemi");
    EXPECT_EQ(m.ElencoTask[2].Dettaglio, "Rilevati 3 record nulli o scollegati");

    m.ImpostaStato(1, "CTRL");
    EXPECT_EQ(m.LstTask.Riga(1).Icona, "IN_CORSO");
    EXPECT_EQ(m.LstTask.Riga(1).TestoStato, "Controllo in corso");
    m.ImpostaStato(1, "START");
    EXPECT_EQ(m.LstTask.Riga(1).Icona, "DA_ESEGUIRE");
    EXPECT_EQ(m.LstTask.Riga(1).TestoStato, "Da Eseguire");
    EXPECT_EQ(m.ElencoTask[2].Stato, "START");

    // An unknown code (lower case included) changes nothing but still repaints.
    const int prima = ridisegni;
    m.ImpostaStato(1, "ver_ok");
    EXPECT_EQ(m.ElencoTask[2].Stato, "START");
    EXPECT_EQ(m.LstTask.Riga(1).TestoStato, "Da Eseguire");
    EXPECT_EQ(ridisegni, prima + 1);
}
