#pragma once
// The fixture of the tests that work on a complete archive: the archive with every table the
// catalogue reads, made empty in a temporary folder and installed as the session's DbArchivi, and
// the operator answering questions with `risposta` (Yes unless a test says otherwise) and notices
// with Ok. A test's own set-up calls this one first; its tear-down calls this one last.
#include "core/operatore.h"
#include "support/archivi_prova.h"
#include "support/sessione_prova.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvale::prova {

class ConArchivioCompleto : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OperatoreDiProva().Azzera();
        OperatoreDiProva().ImpostaRisponditore(
            [this](const QString&, Pulsanti p) { return p == Pulsanti::SiNo ? risposta : Risposta::Ok; });
        SessioneProva().DbArchivi = CreaArchivioCompleto(dir.filePath("lumera.mdb"));
    }
    void TearDown() override
    {
        OperatoreDiProva().Azzera();
        AzzeraAmbiente();
    }
    // A master beside the archive (esempio.mdb), installed as DbMaster, made by these statements.
    void master(const QStringList& istruzioni)
    {
        SessioneProva().DbMaster = dbe::CreateDatabase(dir.filePath("esempio.mdb"));
        Esegui(SessioneProva().DbMaster, istruzioni);
    }
    void sql(const QStringList& istruzioni) { Esegui(SessioneProva().DbArchivi, istruzioni); }

    QTemporaryDir dir;
    Risposta risposta = Risposta::Si;
};

}  // namespace corvale::prova
