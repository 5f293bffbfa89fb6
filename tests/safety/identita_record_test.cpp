// A correction changes a record only while it holds what the operator saw. Another program (the
// sqlite3 shell, in a process of its own) acts between the grid's fill and the walk: it replaces
// the last order by a new one with the same key under the same row number, changes or deletes
// others; fields it adds named like the row number never stand for the row; and an undo never puts
// back a key that another record now holds in another case.
#include "fixture_sicurezza.h"

#include "records/correzione_en.h"
#include "records/correzione_enp.h"
#include "safety/annulla.h"
#include "safety/modifica_registrata.h"
#include "support/altro_programma.h"

#include <QRegularExpression>
#include <random>

using namespace corvale;
using corvale::prova::ArchivioSicurezza;
using corvale::prova::OperatoreDiProva;
using corvale::prova::SessioneProva;
using testsupport::DaFuori;

namespace {

class Identita : public ArchivioSicurezza {
protected:
    void SetUp() override
    {
        if (!testsupport::Sqlite3Disponibile())
            GTEST_SKIP() << "sqlite3 shell not installed";
        ArchivioSicurezza::SetUp();
        sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
             "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('VARIE', 'Varie')"});
    }
    // What another program sees of a table: one line per record, its fields joined by ':'.
    QStringList fuori(const QString& tabella, const QStringList& campi)
    {
        const QString righe =
            DaFuori(archivio(),
                    QStringLiteral("SELECT %1 FROM %2 ORDER BY 1;").arg(campi.join(" || ':' || "), tabella));
        return righe.isEmpty() ? QStringList() : righe.split('\n');
    }
    VoceRegistro voce(qint64 id) { return registro().Voce(id).value_or(VoceRegistro()); }
    qint64 ultimaVoce() { return registro().Elenco().value(0).id; }
    // The archive as a fresh connection finds it, as a new session of the program would.
    void riapri() { SessioneProva().DbArchivi = dbe::OpenDatabase(archivio()); }
};

}  // namespace

TEST_F(Identita, AWalkChangesOnlyTheRecordsThatStillHoldWhatTheGridListed)
{
    struct Correzione {
        TaskCorrezione task;
        int opzione;
        QString corretto;  // what a corrected order holds afterwards (NUMORD replaced by %1); empty: deleted
    };
    const QVector<Correzione> correzioni{
        {taskDi("Controllo Ordini senza Clienti"), OptElimina, {}},
        {taskDi("Controllo Ordini senza Clienti"), OptAssocia, "%1:C1:F9:a"},
        {taskDi("Controllo Ordini senza Fornitori"), OptFisso, "%1:ZZ:VARIE:a"},
        {taskDi("Controllo Ordini/Offerte senza Dettaglio"), OptElimina, {}},
    };
    std::mt19937 rng(61);
    for (int giro = 0; giro < 8; ++giro) {
        const Correzione& c = correzioni[giro % correzioni.size()];
        // Orders without customer, supplier or detail; in one round only the one that is replaced.
        const int n = giro == 6 ? 1 : 10;
        QStringList s{"DELETE FROM VENDITE"};
        for (int i = 0; i < n; ++i)
            s << QStringLiteral("INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA, LIB3) VALUES ('%1', 'ZZ', 'F9', "
                                "#03/15/2001#, 'a')")
                     .arg(giro * 100 + i);
        sql(s);
        ASSERT_TRUE(AttivaCorrezioneRecord(v, c.task));
        v.Opzione = c.opzione;
        if (c.opzione == OptAssocia) {
            ScegliVoceCombo(v, 0);
            v.TestoCombo = v.VociCombo.at(0).Testo;
        }
        SelezionaTutti(v);
        ASSERT_EQ(v.Selezione.Count(), n);

        // Another program: the last order is deleted and a new one with the same key takes its row
        // number; of the others, some are changed, some deleted.
        const QString ultimo = QString::number(giro * 100 + n - 1);
        const QString riga =
            DaFuori(archivio(), QStringLiteral("SELECT rowid FROM VENDITE WHERE NUMORD = '%1';").arg(ultimo));
        QString altro = QStringLiteral("CREATE TEMP TABLE NUOVO AS SELECT * FROM VENDITE WHERE NUMORD = '%1';"
                                       "UPDATE NUOVO SET LIB3 = 'nuovo'; DELETE FROM VENDITE WHERE NUMORD = '%1';"
                                       "INSERT INTO VENDITE SELECT * FROM NUOVO;")
                            .arg(ultimo);
        QStringList atteso{QStringLiteral("%1:ZZ:F9:nuovo").arg(ultimo)};
        qint64 lasciati = 1, corretti = 0;
        for (int i = 0; i + 1 < n; ++i) {
            const QString numord = QString::number(giro * 100 + i);
            switch (rng() % 4) {
            case 0:
                altro += QStringLiteral("UPDATE VENDITE SET LIB3 = 'b' WHERE NUMORD = '%1';").arg(numord);
                atteso << QStringLiteral("%1:ZZ:F9:b").arg(numord);
                ++lasciati;
                break;
            case 1: altro += QStringLiteral("DELETE FROM VENDITE WHERE NUMORD = '%1';").arg(numord); break;
            default:
                ++corretti;
                if (!c.corretto.isEmpty())
                    atteso << c.corretto.arg(numord);
            }
        }
        DaFuori(archivio(), altro);
        ASSERT_EQ(DaFuori(archivio(), QStringLiteral("SELECT rowid FROM VENDITE WHERE NUMORD = '%1';").arg(ultimo)),
                  riga);

        OperatoreDiProva().Mostrati().clear();
        if (c.task.Tipo == QLatin1String("ENP"))
            GestisciCorrezioneENP(v, c.task);
        else
            GestisciCorrezioneEN(v, c.task);
        const std::string traccia = QStringLiteral("round %1, %2").arg(giro).arg(c.task.Descrizione).toStdString();
        atteso.sort();
        EXPECT_EQ(fuori("VENDITE", {"NUMORD", "CODCLI", "DITTA", "LIB3"}), atteso) << traccia;
        EXPECT_TRUE(OperatoreDiProva().Mostrati().last().contains(MessaggioLasciati(lasciati)))
            << traccia << OperatoreDiProva().Mostrati().last().toStdString();
        // The journal names the records left alone with their reason; a walk that changed nothing
        // is refused.
        const VoceRegistro e = voce(ultimaVoce());
        EXPECT_EQ(e.record, corretti) << traccia;
        EXPECT_EQ(e.recordFatti, corretti) << traccia;
        EXPECT_EQ(e.stato, corretti ? stato_modifica::Fatta : stato_modifica::NonRiuscita) << traccia;
        EXPECT_TRUE(e.messaggio.contains(MessaggioLasciati(lasciati))) << traccia << e.messaggio.toStdString();
        EXPECT_TRUE(e.messaggio.contains(
            QRegularExpression(QStringLiteral("VENDITE, riga %1 \\((VENDITE\\.)?NUMORD = %2\\)").arg(riga, ultimo))))
            << traccia << e.messaggio.toStdString();
    }
}

TEST_F(Identita, FieldsNamedLikeTheRowNumberNeverStandForTheRow)
{
    const TaskCorrezione vuoti = taskDi("Controllo Schede Vuote Clienti");
    const QStringList nomi{"ROWID", "_ROWID_", "OID"};
    for (int maschera = 1; maschera < 8; ++maschera) {
        // Another tool adds fields so named to the customers, their values running against the row
        // numbers or empty.
        QStringList campi;
        QString libero;
        for (int b = 0; b < 3; ++b) {
            if (maschera & (1 << b))
                campi << nomi[b];
            else if (libero.isEmpty())
                libero = nomi[b].toLower();
        }
        QString altro = QStringLiteral("DELETE FROM CLIENTI;");
        for (const QString& c : campi)
            altro += QStringLiteral("ALTER TABLE CLIENTI ADD COLUMN %1 TEXT;").arg(c);
        const QStringList ragioni{"'Rossi'", "NULL", "'  '", "'Bianchi'", "NULL", "'Verdi'"};
        for (int i = 1; i <= ragioni.size(); ++i) {
            QStringList valori;
            for (int k = 0; k < campi.size(); ++k)
                valori << ((i + k + maschera) % 3 == 0 ? QStringLiteral("NULL")
                                                       : QString::number(ragioni.size() + 1 - i));
            altro += QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC%1) VALUES ('C%2', %3%4);")
                         .arg(campi.isEmpty() ? QString() : ", " + campi.join(", "))
                         .arg(i)
                         .arg(ragioni[i - 1], valori.isEmpty() ? QString() : ", " + valori.join(", "));
        }
        DaFuori(archivio(), altro);
        const auto clienti = [this] {
            return testsupport::sqliteDump(archivio()).filter(QRegularExpression("^CLIENTI\\|"));
        };
        const QStringList prima = clienti();
        const std::string traccia = campi.join(", ").toStdString();
        if (libero.isEmpty()) {
            // No name is left for the rows: the grid is refused, with the reason, and nothing changes.
            OperatoreDiProva().Mostrati().clear();
            EXPECT_FALSE(AttivaCorrezioneRecord(v, vuoti));
            EXPECT_TRUE(OperatoreDiProva().Mostrati().join(' ').contains("ROWID, _ROWID_ e OID")) << traccia;
            EXPECT_EQ(clienti(), prima);
            continue;
        }
        const QStringList righe = fuori("CLIENTI", {"CODICE", libero});
        correggiTutti(vuoti, OptElimina);
        EXPECT_EQ(fuori("CLIENTI", {"CODICE"}), (QStringList{"C1", "C4", "C6"})) << traccia;
        // The journal holds the records deleted, under their own row numbers.
        const qint64 id = ultimaVoce();
        QStringList registrati;
        for (const RecordRegistro& r : registro().Record(id))
            registrati << r.prima->values.value(0).toString() + ':' + QString::number(r.riga);
        registrati.sort();
        EXPECT_EQ(registrati, (QStringList{righe[1], righe[2], righe[4]})) << traccia;
        // Undo puts them back as they were, each under its own row number.
        const EsitoAnnulla e = AnnullaModifica(SessioneProva(), id);
        EXPECT_EQ(e.rimessi, 3) << traccia;
        EXPECT_EQ(e.rifiutati, QStringList()) << traccia;
        EXPECT_EQ(clienti(), prima) << traccia;
        EXPECT_EQ(fuori("CLIENTI", {"CODICE", libero}), righe) << traccia;
        altro.clear();
        for (const QString& c : campi)
            altro += QStringLiteral("ALTER TABLE CLIENTI DROP COLUMN %1;").arg(c);
        DaFuori(archivio(), altro);
    }
}

TEST_F(Identita, UndoNeverPutsBackAKeyAnotherRecordHoldsInAnotherCase)
{
    const TaskCorrezione vuoti = taskDi("Controllo Schede Vuote Clienti");
    sql({"CREATE UNIQUE INDEX CODICE ON CLIENTI (CODICE)"});
    const QString lettere = QStringLiteral("àèéìòùçäöüñ");
    std::mt19937 rng(4);
    const auto accentato = [&] {
        QString c;
        for (int k = 0; k < 3; ++k) {
            const QChar l = lettere[int(rng() % lettere.size())];
            c += rng() % 2 ? l.toUpper() : l;
        }
        return c + QStringLiteral("CLI") + QString::number(rng() % 10);
    };
    // The same code with the case of its letters outside ASCII turned, at least one of them.
    const auto gemello = [&](const QString& c) {
        QString g = c;
        g[0] = g[0].isUpper() ? g[0].toLower() : g[0].toUpper();
        for (int k = 1; k < 3; ++k)
            if (rng() % 2)
                g[k] = g[k].isUpper() ? g[k].toLower() : g[k].toUpper();
        return g;
    };
    for (int giro = 0; giro < 4; ++giro) {
        QStringList codici;
        while (codici.size() < 3) {
            const QString c = accentato();
            if (std::none_of(codici.begin(), codici.end(),
                             [&](const QString& x) { return x.toLower() == c.toLower(); }))
                codici << c;
        }
        QStringList s{"DELETE FROM CLIENTI", "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')"};
        for (const QString& c : codici)
            s << QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('%1', NULL)").arg(c);
        sql(s);
        correggiTutti(vuoti, OptElimina);
        const qint64 id = ultimaVoce();
        // Another program gives some of the codes (in the first round all) to new customers, in
        // another case: SQLite's NOCASE index tells them apart.
        QString altro;
        QStringList presi, rimasti;
        for (const QString& c : codici) {
            if (giro == 0 || rng() % 2) {
                const QString g = gemello(c);
                altro += QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('%1', 'Altro');").arg(g);
                presi << g;
            } else {
                rimasti << c;
            }
        }
        if (!altro.isEmpty())
            DaFuori(archivio(), altro);
        riapri();
        const EsitoAnnulla e = AnnullaModifica(SessioneProva(), id);
        const std::string traccia = codici.join(' ').toStdString();
        ASSERT_TRUE(e.eseguito) << traccia << e.errore.toStdString();
        EXPECT_EQ(e.rimessi, rimasti.size()) << traccia;
        ASSERT_EQ(e.rifiutati.size(), presi.size()) << traccia;
        for (const QString& g : presi)
            EXPECT_TRUE(e.rifiutati.filter("la chiave CODICE = " + g + " appartiene ora a un altro record").size() == 1)
                << traccia << e.rifiutati.join('\n').toStdString();
        QStringList atteso = QStringList{"C1:Rossi"};
        for (const QString& g : presi)
            atteso << g + ":Altro";
        for (const QString& c : rimasti)
            atteso << c + ':';
        atteso.sort();
        EXPECT_EQ(fuori("CLIENTI", {"CODICE", "ifnull(RAGSOC, '')"}), atteso) << traccia;
        EXPECT_EQ(voce(e.voce).stato, rimasti.isEmpty() ? stato_modifica::NonRiuscita : stato_modifica::Fatta)
            << traccia;
    }
}
