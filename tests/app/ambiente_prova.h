#pragma once
// The app tests' fixture: a temporary program folder (the master goes there), a temporary archive
// folder, the shared state reset, and every box answered and recorded instead of shown.
#include "core/sessione.h"
#include "support/sessione_prova.h"
#include "app/dir_selector.h"
#include "app/apertura_manutenzione.h"
#include "core/operatore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvale::prova {

// The gate's two warnings.
inline const QString kPiuNuovo =
    QStringLiteral("Attenzione !!! Prima di eseguire qualsiasi modifica è strettamante consigliato di eseguire "
                   "Lumera almeno una volta in modo da allineare la versione del DB.");
inline const QString kObsoleto =
    QStringLiteral("Attenzione !!! La versione del Db Master è obsoleta. Contattare la Ombrisa e richiedere una "
                   "versione aggiornata.");

class AmbienteApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programma.isValid() && archivi.isValid());
        SessioneProva().ImpostaCartellaProgramma(programma.path());
        SessioneProva().PathArchivi.clear();
        SessioneProva().VersioneMaster.clear();
        SessioneProva().DbArchivi = dbe::Database();
        SessioneProva().DbMaster = dbe::Database();
        OperatoreDiProva().Azzera();
        OperatoreDiProva().ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
        OperatoreDiProva().ImpostaRisponditoreInput([this](const QString&) { return voce; });
        DirSelector::Titoli().clear();
        DirSelector::ImpostaScelta([this](QWidget*, const QString&) { return sceltaCartella; });
        manutenzioniAperte = 0;
        ImpostaAperturaManutenzione([this](QWidget*) { ++manutenzioniAperte; });
    }
    void TearDown() override
    {
        SessioneProva().DbArchivi = dbe::Database();
        SessioneProva().DbMaster = dbe::Database();
        OperatoreDiProva().Azzera();
        DirSelector::ImpostaScelta(nullptr);
        ImpostaAperturaManutenzione(nullptr);
        SessioneProva().ImpostaCartellaProgramma(QString());
    }

    // A small archive: AGENZIA (COD, RAG, VERSDB) with one record per stamp given (a null QString
    // is a Null VERSDB); without the table when `agenzia` is false. `vuotoAmmesso` is VERSDB's
    // AllowZeroLength.
    static void CreaArchivio(const QString& file, const QStringList& versioni, bool agenzia = true,
                             bool vuotoAmmesso = true)
    {
        dbe::Database db = dbe::CreateDatabase(file);
        if (agenzia) {
            dbe::TableDef t = db.CreateTableDef(QStringLiteral("AGENZIA"));
            t.Fields().Append(t.CreateField(QStringLiteral("COD"), dbe::dbText, 10));
            t.Fields().Append(t.CreateField(QStringLiteral("RAG"), dbe::dbText, 50));
            dbe::Field versione = t.CreateField(QStringLiteral("VERSDB"), dbe::dbText, 5);
            versione.SetAllowZeroLength(vuotoAmmesso);
            t.Fields().Append(versione);
            db.TableDefs().Append(t);
            dbe::Recordset rs = db.OpenRecordset(QStringLiteral("AGENZIA"));
            int cod = 0;
            for (const QString& v : versioni) {
                rs.AddNew();
                rs.SetValue(QStringLiteral("COD"), QString::number(++cod));
                rs.SetValue(QStringLiteral("RAG"), QStringLiteral("Agenzia"));
                if (!v.isNull())
                    rs.SetValue(QStringLiteral("VERSDB"), v);
                rs.Update();
            }
            rs.Close();
        }
        db.Close();
    }
    QString FileArchivio() const { return archivi.path() + QStringLiteral("/lumera.mdb"); }
    QString FileMaster() const { return programma.path() + QStringLiteral("/esempio.mdb"); }
    static qint64 RecordAgenzia(const QString& file)
    {
        dbe::Database db = dbe::OpenDatabase(file);
        dbe::Recordset rs = db.OpenRecordset(QStringLiteral("AGENZIA"));
        return rs.RecordCount();
    }

    QTemporaryDir programma;
    QTemporaryDir archivi;
    QString voce;  // the operator's entry in the next input box
    QString sceltaCartella;  // the folder the operator picks ("" cancels)
    int manutenzioniAperte = 0;
};

}  // namespace corvale::prova
