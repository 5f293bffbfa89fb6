#pragma once
// The app tests' fixture: a temporary program folder (the master goes there), a temporary archive
// folder, the shared state reset, and every box answered and recorded instead of shown.
#include "app/ambiente.h"
#include "app/dirselector.h"
#include "app/manutenzione.h"
#include "app/messaggi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvale::prova {

class AmbienteApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programma.isValid() && archivi.isValid());
        ImpostaCartellaProgramma(programma.path());
        PathArchivi.clear();
        VersioneMaster.clear();
        DbArchivi = dbe::Database();
        DbMaster = dbe::Database();
        Messaggi::Azzera();
        Messaggi::ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
        Messaggi::ImpostaRisponditoreInput([this](const QString&) { return voce; });
        DirSelector::Titoli().clear();
        DirSelector::ImpostaScelta([this](QWidget*, const QString&) { return sceltaCartella; });
        manutenzioniAperte = 0;
        ImpostaAperturaManutenzione([this](QWidget*) { ++manutenzioniAperte; });
    }
    void TearDown() override
    {
        DbArchivi = dbe::Database();
        DbMaster = dbe::Database();
        Messaggi::Azzera();
        DirSelector::ImpostaScelta(nullptr);
        ImpostaAperturaManutenzione(nullptr);
        ImpostaCartellaProgramma(QString());
    }

    // A small archive: AGENZIA (COD, RAG, VERSDB) with one record per stamp given (a null QString
    // is a Null VERSDB); without the table when `agenzia` is false.
    static void CreaArchivio(const QString& file, const QStringList& versioni, bool agenzia = true)
    {
        dbe::Database db = dbe::CreateDatabase(file);
        if (agenzia)
            db.Execute(QStringLiteral("CREATE TABLE AGENZIA (COD TEXT(10), RAG TEXT(50), VERSDB TEXT(5))"));
        int cod = 0;
        for (const QString& v : versioni)
            db.Execute(QStringLiteral("INSERT INTO AGENZIA (COD, RAG, VERSDB) VALUES ('%1', 'Agenzia', %2)")
                           .arg(++cod)
                           .arg(v.isNull() ? QStringLiteral("NULL") : u'\'' + v + u'\''));
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
    QString voce;             // the operator's entry in the next input box
    QString sceltaCartella;   // the folder the operator picks ("" cancels)
    int manutenzioniAperte = 0;
};

}  // namespace corvale::prova
