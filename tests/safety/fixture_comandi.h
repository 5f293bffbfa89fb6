#pragma once
// The fixture of the tests that run corvale-cli's safety commands as processes: a program folder
// with a master, and archivi/lumera.mdb with every table the catalogue reads and three customers
// (one sound, two the first check finds empty); helpers to run a command on them and to read the
// copies.
#include "support/archivi_prova.h"
#include "support/processo_cli.h"
#include "support/sqlite_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvale::prova {

class ComandiSicurezza : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        dbe::Database m = dbe::CreateDatabase(home.filePath("esempio.mdb"));
        Esegui(m, {"CREATE TABLE AGENZIA (COD TEXT(10), RAG TEXT(50), VERSDB TEXT(5))"});
        m.Close();
        QDir(home.path()).mkdir("archivi");
        dbe::Database a = CreaArchivioCompleto(archivio());
        Esegui(a, {"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
                   "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', NULL)",
                   "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', '  ')"});
        a.Close();
    }
    void TearDown() override { AzzeraAmbiente(); }
    QString archivio() const { return home.filePath("archivi/lumera.mdb"); }
    EsitoCli esegui(const QStringList& args)
    {
        return EseguiCli(args + QStringList{"--home", home.path(), "--archive", home.filePath("archivi")});
    }
    // The copies' names, oldest first (their names hold the moment).
    QStringList copie() const
    {
        return QDir(home.filePath("archivi/copie")).entryList({"*.mdb"}, QDir::Files, QDir::Name);
    }
    QString copia(const QString& nome) const { return home.filePath("archivi/copie/" + nome); }
    qint64 clienti() { return testsupport::sqliteValue(archivio(), "SELECT count(*) FROM CLIENTI").toLongLong(); }

    QTemporaryDir home;
};

}  // namespace corvale::prova
