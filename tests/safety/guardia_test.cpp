// The guard on the session's archive handle, armed as in the programs: every way of writing through
// the session's handle is refused outside a journaled change and leaves the file as it was; inside
// one the same write passes and is journaled; reads (and the engine's own upkeep while reading)
// pass; a handle the session takes later is guarded too, and a handle of its own is not.
#include "fixture_sicurezza.h"

#include "core/guardia_archivio.h"
#include "safety/modifica_registrata.h"

#include <functional>

using namespace corvale;
using corvale::prova::ArchivioSicurezza;

namespace {

// The ways code can write an archive through a handle; run in this order each changes the file
// (and none touches customer C3).
struct Scrittura {
    const char* nome;
    std::function<void(const dbe::Database&)> fai;
};

const std::vector<Scrittura>& Scritture()
{
    static const std::vector<Scrittura> tutte = {
        {"Execute",
         [](const dbe::Database& db) { db.Execute("UPDATE CLIENTI SET RAGSOC = 'X1' WHERE CODICE = 'C1'"); }},
        {"Edit e Update",
         [](const dbe::Database& db) {
             dbe::Recordset rs = db.OpenRecordset("CLIENTI");
             rs.MoveFirst();
             rs.Edit();
             rs.SetValue("RAGSOC", "X2");
             rs.Update();
         }},
        {"UpdateStoredRow",
         [](const dbe::Database& db) {
             dbe::UpdateStoredRow(db, "CLIENTI", 1, dbe::StoredRow{{"RAGSOC"}, {QString("X3")}});
         }},
        {"AddNew",
         [](const dbe::Database& db) {
             dbe::Recordset rs = db.OpenRecordset("CLIENTI");
             rs.AddNew();
             rs.SetValue("CODICE", "C9");
             rs.Update();
         }},
        {"InsertStoredRow",
         [](const dbe::Database& db) {
             dbe::InsertStoredRow(db, "CLIENTI", dbe::StoredRow{{"CODICE"}, {QString("C8")}}, 99);
         }},
        {"Fields.Append",
         [](const dbe::Database& db) {
             dbe::TableDef t = db.TableDefs().Item("CLIENTI");
             t.Fields().Append(t.CreateField("NUOVO", dbe::dbText, 10));
         }},
        {"TableDefs.Append",
         [](const dbe::Database& db) {
             dbe::TableDef t = db.CreateTableDef("NUOVA");
             t.Fields().Append(t.CreateField("A", dbe::dbLong));
             db.TableDefs().Append(t);
         }},
        {"transazione",
         [](const dbe::Database& db) {
             dbe::Workspace::Default().BeginTrans();
             db.Execute("DELETE FROM CLIENTI WHERE CODICE = 'C2'");
             dbe::Workspace::Default().CommitTrans();
         }},
        {"DeleteStoredRow", [](const dbe::Database& db) { dbe::DeleteStoredRow(db, "CLIENTI", 1); }},
        {"Delete",
         [](const dbe::Database& db) {
             dbe::Recordset rs = db.OpenRecordset("SELECT * FROM CLIENTI WHERE CODICE <> 'C3'");
             rs.MoveFirst();
             rs.Delete();
         }},
    };
    return tutte;
}

class Guardia_ : public ArchivioSicurezza {
protected:
    void SetUp() override
    {
        ArchivioSicurezza::SetUp();
        sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Bianchi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', 'Neri')"});
        SessioneProva().DbArchivi.Guardia()->Arma(true);
    }
    // Each write through the session's handle: refused with the engine's message, file unchanged.
    void tuttiRifiutati(const char* dove)
    {
        for (const Scrittura& w : Scritture()) {
            const QStringList prima = testsupport::sqliteDump(archivio());
            try {
                w.fai(SessioneProva().DbArchivi);
                ADD_FAILURE() << dove << ": " << w.nome << " went through";
            } catch (const dbe::DbError& e) {
                EXPECT_TRUE(e.description().startsWith("Scrittura rifiutata"))
                    << dove << ": " << w.nome << ": " << e.description().toStdString();
            }
            EXPECT_EQ(testsupport::sqliteDump(archivio()), prima) << dove << ": " << w.nome;
            EXPECT_EQ(dbe::Workspace::Default().TransactionLevel(), 0) << w.nome;
        }
    }
};

}  // namespace

TEST_F(Guardia_, EveryWriteOutsideAJournaledChangeIsRefusedAndChangesNothing)
{
    const qint64 rifiutati = SessioneProva().DbArchivi.Guardia()->Rifiutati();
    tuttiRifiutati("no change open");
    EXPECT_EQ(SessioneProva().DbArchivi.Guardia()->Rifiutati() - rifiutati, qint64(Scritture().size()));

    // A change that was not prepared by the gate has no journal: it opens nothing.
    {
        ModificaRegistrata senzaRegistro(SessioneProva(), tipo_modifica::Elimina, "CLIENTI");
        EXPECT_FALSE(senzaRegistro.Attiva());
        tuttiRifiutati("change without journal");
    }

    // Reading passes, also when the engine sets up its own temporary objects for a table that
    // another program has just made (a unique text index).
    dbe::Database altra = dbe::OpenDatabase(archivio());
    prova::Esegui(altra,
                  {"CREATE TABLE U (K TEXT(5))", "CREATE UNIQUE INDEX UK ON U (K)", "INSERT INTO U (K) VALUES ('a')"});
    EXPECT_EQ(SessioneProva().DbArchivi.OpenRecordset("U").Value("K").toString(), "a");
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI"), (QStringList{"Rossi", "Bianchi", "Neri"}));
    // A handle of one's own is not the session's: it writes (fixtures, the stamp's connection).
    altra.Execute("UPDATE CLIENTI SET RAGSOC = 'Verdi' WHERE CODICE = 'C2'");
    altra.Close();

    // The handle the session takes next (the structure corrections reopen the archive) is guarded.
    SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
    tuttiRifiutati("reopened");
}

TEST_F(Guardia_, InsideAJournaledChangeEachWritePassesAndIsJournaled)
{
    ASSERT_TRUE(PrimaDellaModifica(SessioneProva()));
    const qint64 rifiutati = SessioneProva().DbArchivi.Guardia()->Rifiutati();
    for (const Scrittura& w : Scritture()) {
        const QStringList prima = testsupport::sqliteDump(archivio());
        qint64 id = 0;
        {
            ModificaRegistrata voce(SessioneProva(), tipo_modifica::Elimina, "CLIENTI");
            ASSERT_TRUE(voce.Attiva());
            id = voce.Id();
            EXPECT_EQ(SessioneProva().DbArchivi.Guardia()->ScopiAperti(), 1);
            voce.Record("CLIENTI", 3, dbe::StoredRow{{"RAGSOC"}, {QString("?")}});
            EXPECT_NO_THROW(w.fai(SessioneProva().DbArchivi)) << w.nome;
        }
        EXPECT_NE(testsupport::sqliteDump(archivio()), prima) << w.nome;
        // The journal holds the record, committed before the archive's change.
        EXPECT_EQ(registro().Record(id).size(), 1) << w.nome;
        EXPECT_EQ(SessioneProva().DbArchivi.Guardia()->ScopiAperti(), 0);
        // And once the change has ended, the same write is refused again.
        EXPECT_THROW(SessioneProva().DbArchivi.Execute("DELETE FROM CLIENTI"), dbe::DbError) << w.nome;
    }
    EXPECT_EQ(SessioneProva().DbArchivi.Guardia()->Rifiutati() - rifiutati, qint64(Scritture().size()));
}
