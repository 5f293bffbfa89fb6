// The gate before a walk reads the walk's table and each of its indexes once from end to end
// instead of looking every record up in every index, and writes the safety copy meanwhile. It must
// still refuse every index that misses records, holds records its table has not or holds other
// values (random archives, indexes and damage, seeded), pass the untouched archive, and keep as its
// copy only the state it checked, whatever another program commits meanwhile.
#include "danni.h"
#include "fixture_sicurezza.h"

#include "support/altro_programma.h"

#include <QRandomGenerator>

using namespace corvale;

namespace {

class Varco : public prova::ArchivioSicurezza {
protected:
    QString offerta;  // the repair offered, and declined
    void azzera()
    {
        AzzeraSicurezza(SessioneProva());
        offerta.clear();
        Sicurezza(SessioneProva()).offriRiparazione = [this](const QString& t) {
            offerta = t;
            return false;
        };
    }
    // The three tables filled anew with n records of random values (texts in either case, some
    // missing), each with one to three indexes on random fields, the first of them sometimes unique
    // on a field whose values are. The indexes' names.
    QStringList prepara(QRandomGenerator& g, int n)
    {
        struct Tabella {
            QString nome, unico;
            QStringList campi;
        };
        const QVector<Tabella> tabelle{{"VENDITE", "NUMORD", {"CODCLI", "CODAGE", "DITTA", "DATA", "TIPODEP"}},
                                       {"CLIENTI", "CODICE", {"RAGSOC"}},
                                       {"FATTURE", "NUMFAT", {"CODCLI", "CODDITTA", "DATA"}}};
        QString sql = "REINDEX;";
        for (const QString& i :
             testsupport::sqliteValue(archivio(), "SELECT group_concat(name) FROM sqlite_master WHERE "
                                                  "name LIKE 'VARCO%'")
                 .toString()
                 .split(',', Qt::SkipEmptyParts))
            sql += QString("DROP INDEX \"%1\";").arg(i);
        testsupport::sqliteExec(archivio(), sql);
        sql = "BEGIN;";
        QStringList indici;
        const auto valore = [&](const QString& campo) {
            if (g.bounded(8) == 0)
                return QString("NULL");
            if (campo == "DATA")
                return QString("'%1-0%2-1%3'").arg(1990 + g.bounded(30)).arg(1 + g.bounded(9)).arg(g.bounded(10));
            return QString("'%1%2'").arg(g.bounded(2) ? "k" : "K").arg(g.bounded(n / 3 + 1));
        };
        for (const Tabella& t : tabelle) {
            sql += QString("DELETE FROM %1;").arg(t.nome);
            for (int i = 0; i < n; ++i) {
                QStringList valori{QString("'U%1'").arg(i)};
                for (const QString& c : t.campi)
                    valori << valore(c);
                sql += QString("INSERT INTO %1 (%2, %3) VALUES (%4);")
                           .arg(t.nome, t.unico, t.campi.join(','), valori.join(','));
            }
            const int quanti = 1 + int(g.bounded(3));
            for (int k = 0; k < quanti; ++k) {
                const QString nome = QString("VARCO_%1_%2").arg(t.nome).arg(k);
                QStringList campi = t.campi;
                QStringList scelti;
                if (k == 0 && g.bounded(2))
                    scelti << t.unico;
                while (scelti.isEmpty() || (!campi.isEmpty() && g.bounded(2)))
                    scelti << campi.takeAt(int(g.bounded(qint64(campi.size()))));
                sql += QString("CREATE %1 INDEX \"%2\" ON %3 (%4);")
                           .arg(scelti.first() == t.unico ? "UNIQUE" : "", nome, t.nome, scelti.join(','));
                indici << nome;
            }
        }
        testsupport::sqliteExec(archivio(), sql + "COMMIT;");
        return indici;
    }
};

}  // namespace

TEST_F(Varco, EveryDamagedIndexOfTheWalksTableIsRefusedAndTheSoundArchivePasses)
{
    for (quint32 seme = 1; seme <= 12; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        const QStringList indici = prepara(g, 30 + int(g.bounded(300u)));
        const QString indice = indici.at(int(g.bounded(qint64(indici.size()))));
        const QString tabella = indice.section('_', 1, 1);
        azzera();
        EXPECT_TRUE(PrimaDellaModifica(SessioneProva(), {tabella}))
            << OperatoreDiProva().Mostrati().join("|").toStdString();
        const auto danno = static_cast<prova::DannoIndice>(g.bounded(3));
        prova::DanneggiaIndice(archivio(), indice, danno, 1 + int(g.bounded(3)), g);
        const QStringList prima = copie();
        azzera();
        EXPECT_FALSE(PrimaDellaModifica(SessioneProva(), {tabella})) << indice.toStdString() << " " << int(danno);
        EXPECT_TRUE(offerta.contains(indice)) << offerta.toStdString();
        EXPECT_EQ(copie(), prima) << "no copy is kept of a damaged archive";
        // A table the walk does not write is not the walk's gate's to look at.
        azzera();
        EXPECT_TRUE(PrimaDellaModifica(SessioneProva(), {tabella == "CLIENTI" ? "VENDITE" : "CLIENTI"}));
    }
}

TEST_F(Varco, TheCopyKeptIsTheStateThatWasChecked)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 non disponibile";
    for (const bool scrittore : {false, true}) {
        SCOPED_TRACE(scrittore);
        QRandomGenerator g(99 + scrittore);
        prepara(g, 200);
        azzera();
        // Once the check has read the orders, another program damages one of their indexes (an
        // index made partial, then declared whole): a copy made from then on holds the damage.
        bool danneggiato = false;
        Sicurezza(SessioneProva()).avanzamento = [&](const QString& cosa, qint64 fatto, qint64 totale) {
            if (cosa != "Verifica dell'archivio" || fatto < totale || totale == 0 || danneggiato)
                return;
            danneggiato = true;
            testsupport::DaFuori(archivio(), "CREATE INDEX VARCO_POI ON VENDITE (NUMORD) WHERE NUMORD <> 'U7';"
                                             "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                             "'CREATE INDEX VARCO_POI ON VENDITE (NUMORD)' WHERE name = 'VARCO_POI';"
                                             "PRAGMA writable_schema = OFF;");
        };
        std::unique_ptr<testsupport::ScrittoreFrequente> altro;
        if (scrittore) {
            altro = std::make_unique<testsupport::ScrittoreFrequente>(archivio());
            altro->Attendi(5);
        }
        const bool passato = PrimaDellaModifica(SessioneProva(), {"VENDITE"});
        if (altro) {
            EXPECT_TRUE(altro->Ferma());
        }
        ASSERT_TRUE(danneggiato);
        EXPECT_NE(testsupport::DaFuori(archivio(), "PRAGMA integrity_check(VENDITE)"), "ok");
        if (passato) {
            ASSERT_FALSE(CopiaSessione(SessioneProva()).isEmpty());
            EXPECT_EQ(testsupport::DaFuori(CopiaSessione(SessioneProva()), "PRAGMA integrity_check"), "ok");
        } else {
            EXPECT_TRUE(offerta.contains("VARCO_POI")) << offerta.toStdString();
        }
        testsupport::sqliteExec(archivio(), "DROP INDEX VARCO_POI");
    }
}

// The copy from the file's bytes (written past the page cache, several pieces at once, the rest
// after the last whole 4 KB block the usual way) is the file byte for byte but for its log mark,
// whatever the archive's page size and length (seeded).
TEST_F(Varco, TheCopyOfTheFilesBytesIsTheFileWhateverItsPageSizeAndLength)
{
    // Every file but the smallest written past the page cache, as a big archive is.
    const qint64 prima = dbe::SetUncachedCopyFrom(4096);
    for (quint32 seme = 1; seme <= 8; ++seme) {
        SCOPED_TRACE(seme);
        QRandomGenerator g(seme);
        const QString file = dir.filePath(QString("pagine%1.mdb").arg(seme));
        const int pagina = 512 << g.bounded(8);
        const int righe = int(g.bounded(seme % 3 == 0 ? 5 : 1500));
        testsupport::sqliteExec(file,
                                QString("PRAGMA page_size = %1; PRAGMA journal_mode = WAL; CREATE TABLE B (X BLOB);"
                                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                                        "INSERT INTO B SELECT randomblob(1 + abs(random()) % 20000) FROM n;")
                                    .arg(pagina)
                                    .arg(righe));
        dbe::Database db = dbe::OpenDatabase(file);
        const QString copia = file + ".copia";
        EXPECT_TRUE(dbe::BackupTo(db, copia));
        db.Close();  // the file is then read by a descriptor of the test's own
        QByteArray atteso = testsupport::fileBytes(file);
        ASSERT_GT(atteso.size(), 20);
        atteso[18] = atteso[19] = 1;
        const QByteArray avuto = testsupport::fileBytes(copia);
        EXPECT_EQ(avuto.size(), atteso.size()) << pagina;
        EXPECT_TRUE(avuto == atteso) << pagina << " " << atteso.size();
    }
    dbe::SetUncachedCopyFrom(prima);
}
