// The safety gate, the journal and undo on small archives, through the same corrections the window
// and corvale-cli run: the copy equals the archive before the first change, each correction's
// records are journaled whole, undo puts them back exactly, and what cannot be made safe is refused.
#include "fixture_sicurezza.h"

#include "dbengine/file_copy.h"
#include "safety/annulla.h"
#include "safety/copia_sicurezza.h"
#include "safety/integrita.h"
#include "safety/riga_testo.h"
#include "support/altro_programma.h"

#include <cmath>
#include <limits>
#include <random>

using namespace corvale;
using corvale::prova::ArchivioSicurezza;

namespace {

class Sicurezza_ : public ArchivioSicurezza {
protected:
    void SetUp() override
    {
        ArchivioSicurezza::SetUp();
        sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C1', 'Rossi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C2', 'Bianchi')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', '  ')",
             "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C4', NULL)",
             "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('F1', 'Fornitore')",
             "INSERT INTO FORNIT (COD, RAGSOC) VALUES ('VARIE', 'Varie')",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA) VALUES ('1', 'C1', 'F1', #03/15/2001#)",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA) VALUES ('2', 'X1', 'F9', #03/16/2001 10:30:00#)",
             "INSERT INTO VENDITE (NUMORD, CODCLI, DITTA, DATA) VALUES ('3', 'X2', 'F9', NULL)",
             "INSERT INTO DETT_ORD (CODCLI, NUMORD, DATA, DITTA, RIGA) VALUES ('C1', '1', #03/15/2001#, 'F1', 1)"});
    }
    const TaskCorrezione vuoti = taskDi("Controllo Schede Vuote Clienti");
    const TaskCorrezione senzaClienti = taskDi("Controllo Ordini senza Clienti");
    const TaskCorrezione senzaFornitori = taskDi("Controllo Ordini senza Fornitori");
    const TaskCorrezione senzaDettaglio = taskDi("Controllo Ordini/Offerte senza Dettaglio");
};

}  // namespace

TEST_F(Sicurezza_, EveryKindOfCorrectionIsJournaledWholeAndUndoneExactly)
{
    const QStringList prima = testsupport::sqliteDump(archivio());
    const auto conteggi = [this] {
        return QVector<qint64>{problemi(vuoti), problemi(senzaClienti), problemi(senzaFornitori),
                               problemi(senzaDettaglio)};
    };
    const QVector<qint64> contiPrima = conteggi();
    ASSERT_EQ(contiPrima.count(0), 0);

    correggiTutti(vuoti, OptElimina);
    // One safety copy, equal to the archive before the change, in "copie" beside it.
    ASSERT_EQ(copie().size(), 1);
    EXPECT_EQ(testsupport::sqliteDump(copie().first()), prima);
    EXPECT_TRUE(QFileInfo(copie().first()).fileName().startsWith("lumera-"));
    correggiTutti(senzaClienti, OptAssocia, 0);
    correggiTutti(senzaFornitori, OptFisso);
    correggiTutti(senzaDettaglio, OptElimina);
    EXPECT_EQ(conteggi(), (QVector<qint64>{0, 0, 0, 0}));
    EXPECT_EQ(copie().size(), 1) << "one copy a session";

    const QVector<VoceRegistro> voci = registro().Elenco();
    ASSERT_EQ(voci.size(), 4);
    EXPECT_EQ(voci[3].tipo, tipo_modifica::Elimina);
    EXPECT_EQ(voci[3].chiave, vuoti.Chiave);
    EXPECT_EQ(voci[3].descrizione, vuoti.Descrizione);
    EXPECT_EQ(voci[3].copia, copie().first());
    EXPECT_EQ(voci[2].tipo, tipo_modifica::Riassegna);
    EXPECT_EQ(voci[1].tipo, tipo_modifica::Fisso);
    EXPECT_EQ(voci[0].tipo, tipo_modifica::Elimina);
    EXPECT_EQ(voci[0].tabella, "VENDITE");
    for (const VoceRegistro& v : voci)
        EXPECT_EQ(v.stato, stato_modifica::Fatta);
    // The deleted customers, every field typed as stored; the reassigned orders with the field
    // written; the orders without lines as they were after the two reassignments.
    const QVector<RecordRegistro> clienti = registro().Record(voci[3].id);
    ASSERT_EQ(clienti.size(), 2);
    EXPECT_EQ(clienti[0].prima->columns, (QStringList{"CODICE", "RAGSOC"}));
    EXPECT_EQ(clienti[0].prima->values, (QVector<QVariant>{QString("C3"), QString("  ")}));
    EXPECT_EQ(clienti[1].prima->values, (QVector<QVariant>{QString("C4"), QVariant()}));
    EXPECT_FALSE(clienti[1].dopo);
    const QVector<RecordRegistro> riassegnati = registro().Record(voci[2].id);
    ASSERT_EQ(riassegnati.size(), 2);
    EXPECT_EQ(riassegnati[0].dopo->columns, QStringList{"CODCLI"});
    EXPECT_EQ(riassegnati[0].dopo->values.first().toString(), "C1");
    EXPECT_EQ(riassegnati[1].prima->values.at(riassegnati[1].prima->indexOf("CODCLI")).toString(), "X2");
    const QVector<RecordRegistro> ordini = registro().Record(voci[0].id);
    // (Orders of VARIE without lines are no problem: only order 1 was left to delete.)
    ASSERT_EQ(ordini.size(), 1);
    EXPECT_EQ(ordini[0].prima->values,
              (QVector<QVariant>{QString("1"), QString("C1"), QVariant(), QString("F1"), QVariant(),
                                 QString("2001-03-15 00:00:00"), QVariant(), QVariant()}));

    // Undo, newest first: the archive is back record for record, and so are the checks' counts.
    for (const VoceRegistro& v : voci) {
        const EsitoAnnulla e = AnnullaModifica(SessioneProva(), v.id);
        EXPECT_TRUE(e.eseguito) << e.errore.toStdString();
        EXPECT_EQ(e.rimessi, registro().Record(v.id).size());
        EXPECT_TRUE(e.rifiutati.isEmpty());
    }
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_EQ(conteggi(), contiPrima);
    // Each undo is journaled and marks what it undid; a second undo is refused.
    const QVector<VoceRegistro> dopo = registro().Elenco();
    ASSERT_EQ(dopo.size(), 8);
    EXPECT_EQ(dopo[0].tipo, tipo_modifica::Annulla);
    EXPECT_EQ(dopo[0].annulla, voci[3].id);
    EXPECT_EQ(registro().Voce(voci[3].id)->annullataDa, dopo[0].id);
    const EsitoAnnulla ancora = AnnullaModifica(SessioneProva(), voci[3].id);
    EXPECT_FALSE(ancora.eseguito);
    EXPECT_TRUE(ancora.errore.contains("già stata annullata")) << ancora.errore.toStdString();
    // Undoing the undo deletes the customers again.
    EXPECT_TRUE(AnnullaModifica(SessioneProva(), dopo[0].id).eseguito);
    EXPECT_EQ(problemi(vuoti), 0);
}

// Records holding every kind of stored value, mixed within each column as other programs leave
// them, are deleted by a walk and put back by its undo exactly: same row numbers, storage classes
// and bytes, also when part of the entry's records are in the journal's older text form.
TEST_F(Sicurezza_, UndoPutsBackEveryStoredValueExactlyWhicheverFormTheJournalHoldsItIn)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 shell not installed";
    const QStringList campi{"V1", "V2", "V3", "V4", "V5"};
    testsupport::DaFuori(archivio(),
                         "ALTER TABLE CLIENTI ADD COLUMN V1 TEXT(50); ALTER TABLE CLIENTI ADD COLUMN V2 LONG;"
                         "ALTER TABLE CLIENTI ADD COLUMN V3 DOUBLE; ALTER TABLE CLIENTI ADD COLUMN V4 "
                         "DATETIME; ALTER TABLE CLIENTI ADD COLUMN V5 LONGTEXT;");
    SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
    const QStringList pezzi{"'", "\"", "\\", "\n", "\t", "\r", "\x01", " ", "a",
                            "Z", "09", ",",  "-",  "à",  "È",  "€",    "😀"};
    for (quint32 seme = 1; seme <= 3; ++seme) {
        std::mt19937_64 rng(seme);
        // One value as an SQL literal: null, an integer, a real, a text or a blob, any of them.
        const auto valore = [&]() -> QString {
            switch (rng() % 5) {
            case 0: return "NULL";
            case 1: {
                const qint64 n = qint64(rng()) >> (rng() % 64);
                return n == std::numeric_limits<qint64>::min() ? "(-9223372036854775807 - 1)" : QString::number(n);
            }
            case 2: {
                const double d = std::ldexp(double(qint64(rng() >> 11)) - double(1LL << 52), int(rng() % 200) - 100);
                const QString r = QString::number(d, 'g', 17);
                return r.contains('.') || r.contains('e') ? r : r + ".0";
            }
            case 3: {
                QString t;
                for (int k = int(rng() % 12); k > 0; --k)
                    t += pezzi.at(int(rng() % pezzi.size()));
                return "'" + t.replace("'", "''") + "'";
            }
            default: {
                QByteArray b(int(rng() % 6), 0);
                for (char& c : b)
                    c = char(rng());
                return "X'" + QString::fromLatin1(b.toHex()) + "'";
            }
            }
        };
        QString scrivi = "DELETE FROM CLIENTI;";
        for (int i = 0; i < 40; ++i) {
            QStringList v{QStringLiteral("'K%1'").arg(i), i % 4 ? "NULL" : "'Ditta'"};
            for (int k = 0; k < campi.size(); ++k)
                v << valore();
            scrivi += QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC, %1) VALUES (%2);")
                          .arg(campi.join(", "), v.join(", "));
        }
        testsupport::DaFuori(archivio(), scrivi);
        const QString intatto = dir.filePath(QStringLiteral("intatto%1.mdb").arg(seme));
        testsupport::DaFuori(archivio(), "VACUUM INTO '" + intatto + "'");
        correggiTutti(vuoti, OptElimina);
        const qint64 id = registro().Elenco().value(0).id;
        const QVector<RecordRegistro> record = registro().Record(id);
        ASSERT_EQ(record.size(), 30) << seme;
        // A journal written before the compact form: every other record of the entry as text.
        for (const RecordRegistro& r : record) {
            if (r.n % 2)
                testsupport::sqliteExec(Registro::FilePer(archivio()),
                                        QStringLiteral("UPDATE record SET prima = '%1' WHERE modifica = %2 AND n = %3")
                                            .arg(QString::fromUtf8(TestoDaRiga(*r.prima)).replace("'", "''"))
                                            .arg(id)
                                            .arg(r.n));
        }
        const EsitoAnnulla e = AnnullaModifica(SessioneProva(), id);
        EXPECT_EQ(e.rimessi, 30) << seme << e.errore.toStdString() << e.rifiutati.join('\n').toStdString();
        // Every record as it was, value by value: same row number, storage class and bytes.
        QStringList uguali{"a.rowid = b.rowid"};
        for (const QString& c : QStringList{"CODICE", "RAGSOC"} + campi)
            uguali << QStringLiteral("a.%1 IS b.%1 COLLATE BINARY AND typeof(a.%1) = typeof(b.%1)").arg(c);
        EXPECT_EQ(testsupport::DaFuori(archivio(), "ATTACH '" + intatto
                                                       + "' AS i; SELECT (SELECT count(*) FROM CLIENTI) || ' ' || "
                                                         "(SELECT count(*) FROM i.CLIENTI) || ' ' || (SELECT count(*) "
                                                         "FROM CLIENTI a JOIN i.CLIENTI b ON "
                                                       + uguali.join(" AND ") + ")"),
                  "40 40 40")
            << seme;
    }
}

TEST_F(Sicurezza_, UndoRefusesRecordByRecordWhatIsNoLongerItsOwn)
{
    sql({"CREATE UNIQUE INDEX CODICE ON CLIENTI (CODICE)"});
    correggiTutti(vuoti, OptElimina);
    correggiTutti(senzaClienti, OptAssocia, 0);
    const QVector<VoceRegistro> voci = registro().Elenco();
    ASSERT_EQ(voci.size(), 2);
    // Another customer takes the code C3; order 3 is changed again after its reassignment.
    sql({"INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('C3', 'Nuovo')",
         "UPDATE VENDITE SET CODCLI = 'C2' WHERE NUMORD = '3'"});

    const EsitoAnnulla clienti = AnnullaModifica(SessioneProva(), voci[1].id);
    ASSERT_TRUE(clienti.eseguito);
    EXPECT_EQ(clienti.rimessi, 1);
    ASSERT_EQ(clienti.rifiutati.size(), 1);
    EXPECT_TRUE(clienti.rifiutati.first().contains("CODICE = C3")) << clienti.rifiutati.first().toStdString();
    EXPECT_TRUE(clienti.rifiutati.first().contains("appartiene ora a un altro record"));
    EXPECT_EQ(colonna("SELECT RAGSOC FROM CLIENTI WHERE CODICE = 'C3'"), QStringList{"Nuovo"});
    EXPECT_EQ(colonna("SELECT CODICE FROM CLIENTI WHERE RAGSOC IS NULL"), QStringList{"C4"});

    const EsitoAnnulla ordini = AnnullaModifica(SessioneProva(), voci[0].id);
    EXPECT_EQ(ordini.rimessi, 1);
    ASSERT_EQ(ordini.rifiutati.size(), 1);
    EXPECT_TRUE(ordini.rifiutati.first().contains("modificato o eliminato")) << ordini.rifiutati.first().toStdString();
    EXPECT_EQ(colonna("SELECT CODCLI FROM VENDITE ORDER BY NUMORD"), (QStringList{"C1", "X1", "C2"}));
}

TEST_F(Sicurezza_, NoCopyNoChangeAndOnlyItsOwnCopiesAreDeleted)
{
    const QStringList prima = testsupport::sqliteDump(archivio());
    // A full disk: the change is refused before anything is written.
    Sicurezza(SessioneProva()).spazioLibero = [](const QString&) { return qint64(4096); };
    correggiTutti(vuoti, OptElimina);
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_TRUE(copie().isEmpty());
    EXPECT_TRUE(registro().Elenco().isEmpty());
    ASSERT_FALSE(OperatoreDiProva().Mostrati().isEmpty());
    EXPECT_TRUE(OperatoreDiProva().Mostrati().last().contains("Spazio su disco insufficiente"))
        << OperatoreDiProva().Mostrati().last().toStdString();
    EXPECT_TRUE(OperatoreDiProva().Mostrati().last().contains("Nessuna modifica è stata fatta."));
    Sicurezza(SessioneProva()).spazioLibero = {};

    // With room, the copy is made and said once.
    QStringList avvisi;
    Sicurezza(SessioneProva()).avviso = [&](const QString& t) { avvisi << t; };
    correggiTutti(vuoti, OptElimina);
    correggiTutti(senzaClienti, OptAssocia, 0);
    ASSERT_EQ(avvisi.size(), 1);
    EXPECT_TRUE(avvisi.first().contains(QDir::toNativeSeparators(copie().first())));

    // Keeping two: the day's first copy and the two newest stay, the others of Corvale's copies go,
    // a copy it did not make stays.
    const QString primaDelGiorno = copie().first();
    testsupport::writeFile(dir.filePath("copie/lumera-19990101-000000.mdb"), "del gestore");
    for (int i = 0; i < 3; ++i) {
        QString errore;
        EXPECT_FALSE(ScriviCopiaSicurezza(SessioneProva(), registro(), 2, errore).isEmpty()) << errore.toStdString();
    }
    const QStringList rimaste = copie();
    EXPECT_EQ(rimaste.size(), 4);
    EXPECT_TRUE(rimaste.contains(dir.filePath("copie/lumera-19990101-000000.mdb")));
    EXPECT_TRUE(rimaste.contains(primaDelGiorno));
    EXPECT_EQ(registro().Copie().size(), 3);
    for (const QString& c : registro().Copie())
        EXPECT_TRUE(rimaste.contains(c));
}

// The copy is the state a read of the archive sees: made from the file's bytes when its log can be
// emptied, page by page while another program keeps pages in the log; whole and in rollback mode
// either way, and whole while another program writes during it.
TEST_F(Sicurezza_, TheCopyIsTheArchiveWhateverAnotherProgramDoesWithItsLog)
{
    if (!testsupport::Sqlite3Disponibile())
        GTEST_SKIP() << "sqlite3 non disponibile";
    const dbe::Database db = SessioneProva().DbArchivi;
    // Another program's committed record, still in the log.
    testsupport::DaFuori(archivio(), "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('Èa', 'Altrui')");
    const QStringList prima = testsupport::sqliteDump(archivio());
    const auto copiaVale = [&](const QString& nome, bool diretta) {
        const QString f = dir.filePath(nome);
        EXPECT_EQ(dbe::BackupTo(db, f), diretta) << nome.toStdString();
        EXPECT_EQ(testsupport::sqliteDump(f), prima) << nome.toStdString();
        EXPECT_EQ(testsupport::DaFuori(f, "PRAGMA journal_mode"), "delete");
        EXPECT_EQ(testsupport::VerificaDaFuori(f, "SELECT RAGSOC FROM CLIENTI WHERE CODICE = 'Èa'"), "Altrui");
    };
    {
        // Its write lock keeps the log from being emptied.
        testsupport::ScritturaAltrui scrive(archivio());
        ASSERT_TRUE(scrive.tiene);
        copiaVale("pagine.mdb", false);
    }
    copiaVale("file.mdb", true);

    testsupport::AltroProgramma altro(archivio(), {"CLIENTI"}, true);
    altro.AttendiGiri(2);
    for (int i = 0; i < 6; ++i) {
        const QString f = dir.filePath(QStringLiteral("durante%1.mdb").arg(i));
        dbe::BackupTo(db, f);
        EXPECT_EQ(testsupport::VerificaDaFuori(f, "SELECT count(*) FROM CLIENTI"), "5");
    }
    EXPECT_GT(altro.Ferma(), 0);
}

TEST_F(Sicurezza_, ADamagedArchiveIsRefusedAndRepaired)
{
    // An index that misses a row of its table: made partial, then declared whole behind SQLite's back.
    SessioneProva().DbArchivi.Close();
    testsupport::sqliteExec(archivio(),
                            "CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC) WHERE RAGSOC <> 'Bianchi';"
                            "PRAGMA writable_schema = ON;"
                            "UPDATE sqlite_master SET sql = 'CREATE INDEX \"CLIENTI.RAG\" ON CLIENTI (RAGSOC)' "
                            "WHERE name = 'CLIENTI.RAG';"
                            "PRAGMA writable_schema = OFF;");
    SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
    ASSERT_FALSE(ProblemiIntegrita(SessioneProva().DbArchivi).isEmpty());
    const QStringList prima = testsupport::sqliteDump(archivio());

    // Not repaired: nothing changes, no copy; the operator was told why, and the journal keeps
    // what the check found, which the checks then say, and which cannot be undone.
    QString offerto;
    Sicurezza(SessioneProva()).offriRiparazione = [&](const QString& t) {
        offerto = t;
        return false;
    };
    EXPECT_TRUE(AvvisoArchivioDanneggiato(SessioneProva()).isEmpty());
    correggiTutti(vuoti, OptElimina);
    EXPECT_EQ(testsupport::sqliteDump(archivio()), prima);
    EXPECT_TRUE(copie().isEmpty());
    ASSERT_EQ(registro().Elenco().size(), 1);
    EXPECT_EQ(registro().Elenco()[0].tipo, tipo_modifica::Verifica);
    EXPECT_TRUE(registro().Elenco()[0].messaggio.contains("CLIENTI.RAG"));
    EXPECT_TRUE(AvvisoArchivioDanneggiato(SessioneProva()).contains("lo ha trovato danneggiato"));
    EXPECT_FALSE(AnnullaModifica(SessioneProva(), registro().Elenco()[0].id).eseguito);
    EXPECT_EQ(offerto, MessaggioArchivioDanneggiato(ProblemiIntegrita(SessioneProva().DbArchivi)));
    EXPECT_TRUE(offerto.contains("CLIENTI.RAG")) << offerto.toStdString();

    // Yes to the window's question: a copy of the damaged archive, the indexes rebuilt, the check passes, the change
    // goes on.
    Sicurezza(SessioneProva()).offriRiparazione = {};
    correggiTutti(vuoti, OptElimina);
    const QStringList testi = OperatoreDiProva().Mostrati().filter("Riparare ora l'archivio?");
    ASSERT_EQ(testi.size(), 1);
    EXPECT_TRUE(testi.first().startsWith(offerto));
    EXPECT_EQ(OperatoreDiProva().Mostrati().filter("Archivio riparato.").size(), 1);
    EXPECT_TRUE(ProblemiIntegrita(SessioneProva().DbArchivi).isEmpty());
    ASSERT_EQ(copie().size(), 1);
    EXPECT_EQ(testsupport::sqliteDump(copie().first()), prima);
    const QVector<VoceRegistro> voci = registro().Elenco();
    ASSERT_EQ(voci.size(), 4);
    EXPECT_EQ(voci[2].tipo, tipo_modifica::Verifica);
    EXPECT_EQ(voci[1].tipo, tipo_modifica::Riparazione);
    EXPECT_EQ(voci[1].stato, stato_modifica::Fatta);
    EXPECT_EQ(voci[0].tipo, tipo_modifica::Elimina);
    EXPECT_EQ(problemi(vuoti), 0);
    EXPECT_TRUE(AvvisoArchivioDanneggiato(SessioneProva()).isEmpty());
}

TEST_F(Sicurezza_, AnArchiveWithUnreadablePagesKeepsWhatCanBeRead)
{
    // Enough customers for many pages; then a page in the middle of the table is overwritten.
    QStringList righe;
    for (int i = 0; i < 3000; ++i)
        righe << QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('K%1', '%2')")
                     .arg(i)
                     .arg(QString(40, QChar('a' + i % 26)));
    sql(righe);
    SessioneProva().DbArchivi.Close();
    QByteArray file = testsupport::fileBytes(archivio());
    ASSERT_GT(file.size(), 40 * 4096);
    testsupport::sqliteExec(archivio(), "PRAGMA wal_checkpoint(TRUNCATE)");
    file = testsupport::fileBytes(archivio());
    const qint64 pagina = testsupport::sqliteValue(archivio(), "PRAGMA page_size").toLongLong();
    const qint64 mezzo = file.size() / pagina / 2;
    file.replace(int(mezzo * pagina), int(pagina), QByteArray(int(pagina), '\xA5'));
    testsupport::writeFile(archivio(), file);
    SessioneProva().DbArchivi = dbe::OpenDatabase(archivio());
    ASSERT_FALSE(ProblemiIntegrita(SessioneProva().DbArchivi).isEmpty());

    Registro& reg = registro();
    const EsitoRiparazione e = RiparaArchivio(SessioneProva(), reg);
    EXPECT_TRUE(e.riuscita) << e.rapporto.toStdString();
    EXPECT_TRUE(ProblemiIntegrita(SessioneProva().DbArchivi).isEmpty());
    const qint64 rimasti = testsupport::sqliteValue(archivio(), "SELECT count(*) FROM CLIENTI").toLongLong();
    EXPECT_GT(rimasti, 2500);
    EXPECT_LT(rimasti, 3004);
    EXPECT_TRUE(e.rapporto.contains("CLIENTI: recuperati")) << e.rapporto.toStdString();
    // The damaged original is among the copies.
    EXPECT_EQ(QFileInfo(e.copia).size(), qint64(file.size()));
}

// The journal's text of a record gives back every stored value exactly, whatever it holds.
TEST(RigaTesto, EveryStoredValueComesBackExactly)
{
    dbe::StoredRow r;
    r.columns = QStringList{"T", "Q", "C", "A", "E", "V", "I", "N", "R", "P", "B", "Z", "Ä\"k"};
    r.values = {QString("a\"b\\c"),
                QString("riga1\nriga2\tx\r"),
                QString(QChar(1)) + "\x1f" + QChar(0x7f),
                QString("perché ÈÀ €"),
                QString::fromUtf8("\xF0\x9F\x98\x80 fine"),
                QString(""),
                QVariant(qlonglong(-4611686018427387904LL)),
                QVariant(),
                QVariant(0.1),
                QVariant(-1e-300),
                QVariant(QByteArray("\x00\xff\"", 3)),
                QVariant(qlonglong(0)),
                QString("x")};
    const QByteArray testo = TestoDaRiga(r);
    const auto indietro = RigaDaTesto(QString::fromUtf8(testo));
    ASSERT_TRUE(indietro) << testo.toStdString();
    EXPECT_EQ(indietro->columns, r.columns);
    ASSERT_EQ(indietro->values.size(), r.values.size());
    for (int i = 0; i < r.values.size(); ++i) {
        EXPECT_EQ(indietro->values[i].typeId(), r.values[i].typeId()) << i;
        EXPECT_EQ(indietro->values[i], r.values[i]) << i;
    }
}
