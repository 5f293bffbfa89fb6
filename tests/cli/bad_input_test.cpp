// Bad input given to corvale-cli: broken settings files, archives that are not archives, missing or
// damaged masters, and names with odd characters. Each run goes through the real program; a refused
// run must print the program's message with the engine's description, exit 2 and leave every file
// byte for byte as it was.
#include "dbengine/dbengine.h"
#include "support/archivi_prova.h"
#include "support/sqlite_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include "support/processo_cli.h"
#include <gtest/gtest.h>
#include <functional>
#include <sys/stat.h>
#include "support/stampa_qt.h"

using namespace corvale;

namespace {

const QString kArchivio = QStringLiteral("Impossibile aprire il database.\n");
const QString kMaster = QStringLiteral("Problemi nell'aperture del DB Master.\n");

using Esito = prova::EsitoCli;

Esito cli(const QStringList& args) { return prova::EseguiCli(args); }

QByteArray leggi(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void scrivi(const QString& file, const QByteArray& dati)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(dati);
}

// The hash of every file under a folder, by relative path: what "nothing changed" means.
QMap<QString, QByteArray> impronte(const QString& cartella)
{
    QMap<QString, QByteArray> m;
    const QDir d(cartella);
    const auto voci = d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& fi : voci) {
        if (fi.isDir()) {
            const auto sotto = impronte(fi.absoluteFilePath());
            for (auto it = sotto.begin(); it != sotto.end(); ++it)
                m.insert(fi.fileName() + QLatin1Char('/') + it.key(), it.value());
            m.insert(fi.fileName() + QLatin1Char('/'), QByteArray());
        } else if (fi.isFile()) {
            m.insert(fi.fileName(), QCryptographicHash::hash(leggi(fi.absoluteFilePath()), QCryptographicHash::Sha256));
        } else {
            m.insert(fi.fileName(), "(non un file)");  // a pipe or a device is never read
        }
    }
    return m;
}

// A fresh demo (LUMERA.INI, esempio.mdb, archivi/lumera.mdb) made once and copied for each case.
class InputErrato : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        modello = new QTemporaryDir;
        const Esito e = cli({"demo", modello->filePath("demo")});
        ASSERT_EQ(e.stato, 0) << e.err.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete modello;
        modello = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        home = dir.filePath("home");
        archivi = home + "/archivi";
        ASSERT_TRUE(QDir().mkpath(archivi));
        ASSERT_TRUE(QFile::copy(modello->filePath("demo/esempio.mdb"), home + "/esempio.mdb"));
        ASSERT_TRUE(QFile::copy(modello->filePath("demo/archivi/lumera.mdb"), archivi + "/lumera.mdb"));
        scrivi(home + "/LUMERA.INI", "[Path]\r\nArchivi=" + archivi.toUtf8() + "\r\n");
    }
    void TearDown() override { prova::AzzeraAmbiente(); }

    // Runs each command on the home folder and expects it refused with the message, exit 2 and
    // no file touched.
    void rifiutato(const QString& messaggio, const QStringList& extra = {})
    {
        for (const char* comando : {"check", "repair-structure"}) {
            const auto prima = impronte(dir.path());
            const Esito e = cli(QStringList{comando, "--home", home} + extra);
            EXPECT_EQ(e.stato, 2) << comando << " " << e.err.toStdString();
            EXPECT_TRUE(e.err.startsWith(messaggio)) << comando << ": " << e.err.toStdString();
            // The engine's description follows on its own line.
            EXPECT_GT(e.err.trimmed().size(), messaggio.trimmed().size()) << e.err.toStdString();
            EXPECT_EQ(impronte(dir.path()), prima) << comando;
        }
        const auto prima = impronte(dir.path());
        const Esito c = cli(QStringList{"correct", "0001K", "--elimina", "--home", home} + extra);
        EXPECT_EQ(c.stato, 2) << c.err.toStdString();
        EXPECT_TRUE(c.err.startsWith(messaggio)) << c.err.toStdString();
        EXPECT_EQ(impronte(dir.path()), prima);
    }

    // The check runs (problems found in the demo: 1); nothing changes.
    void accettato()
    {
        const auto prima = impronte(dir.path());
        const Esito e = cli({"check", "--home", home});
        EXPECT_EQ(e.stato, 1) << e.err.toStdString();
        EXPECT_EQ(impronte(dir.path()), prima);
    }

    static QTemporaryDir* modello;
    QTemporaryDir dir;
    QString home;
    QString archivi;
};

QTemporaryDir* InputErrato::modello = nullptr;

}  // namespace

TEST_F(InputErrato, SettingsFilesThatGiveNoFolderAreRefusedAtTheOpen)
{
    const QString ini = home + "/LUMERA.INI";
    ASSERT_TRUE(QFile::remove(ini));
    rifiutato(kArchivio);
    // The missing file is named; one that is there but gives no folder is not.
    const QString manca = "\nIl file delle impostazioni '" + ini + "' non esiste.\n";
    EXPECT_TRUE(cli({"check", "--home", home}).err.endsWith(manca));

    scrivi(ini, "");
    rifiutato(kArchivio);
    EXPECT_FALSE(cli({"check", "--home", home}).err.contains(manca));

    QByteArray binario(4096, '\0');
    auto* rng = QRandomGenerator::global();
    for (char& c : binario)
        c = char(rng->bounded(256));
    scrivi(ini, binario);
    rifiutato(kArchivio);

    // A value of a megabyte is cut to 255 characters: no such folder.
    scrivi(ini, "[Path]\nArchivi=" + QByteArray(1 << 20, 'x') + "\n");
    rifiutato(kArchivio);
}

TEST_F(InputErrato, ASettingsPathThatIsNoFileIsRefusedAtOnceAndSaysWhatItIs)
{
    const QString ini = home + "/LUMERA.INI";
    ASSERT_TRUE(QFile::remove(ini));
    const struct {
        const char* tipo;
        std::function<bool()> crea;
    } casi[] = {
        {"una pipe con nome (FIFO)", [&] { return mkfifo(QFile::encodeName(ini).constData(), 0600) == 0; }},
        {"una cartella", [&] { return QDir().mkdir(ini); }},
        {"un dispositivo", [&] { return QFile::link("/dev/zero", ini); }},
    };
    for (const auto& c : casi) {
        ASSERT_TRUE(c.crea()) << c.tipo;
        QElapsedTimer tempo;
        tempo.start();
        rifiutato(kArchivio);
        const Esito e = cli({"check", "--home", home});
        EXPECT_TRUE(e.err.endsWith("\nIl file delle impostazioni '" + ini + "' non può essere letto: è " + c.tipo
                                   + ", non un file ordinario.\n"))
            << e.err.toStdString();
        EXPECT_LT(tempo.elapsed(), 60000) << c.tipo;
        ASSERT_TRUE(QDir().rmdir(ini) || QFile::remove(ini));
    }
}

TEST_F(InputErrato, AValueNamingSeveralMasterRecordsIsRefusedWithTheirCodesAndACodeChooses)
{
    const QString mdb = archivi + "/lumera.mdb";
    QString chiave;  // the task "Controllo Ordini senza Clienti", which finds the demo's orphan orders
    for (const QString& riga : cli({"check", "--home", home}).out.split(u'\n')) {
        if (riga.section(u'\t', 1, 1) == "Controllo Ordini senza Clienti")
            chiave = riga.section(u'\t', 0, 0);
    }
    ASSERT_FALSE(chiave.isEmpty());
    const QString orfani = "SELECT group_concat(NUMORD) FROM VENDITE WHERE CODCLI NOT IN (SELECT CODICE FROM CLIENTI)";
    const QString prima = testsupport::sqliteValue(mdb, orfani).toString();
    ASSERT_FALSE(prima.isEmpty());
    const QString nome =
        testsupport::sqliteValue(mdb, "SELECT RAGSOC FROM CLIENTI WHERE RAGSOC > '' ORDER BY CODICE").toString();

    // The name given to more customers (how many and which code is chosen: seeded).
    QRandomGenerator caso(4242);
    QStringList codici{
        testsupport::sqliteValue(mdb, "SELECT CODICE FROM CLIENTI WHERE RAGSOC = '" + nome + "'").toString()};
    for (int i = 1 + int(caso.bounded(3)); i > 0; --i) {
        codici << QStringLiteral("D%1").arg(caso.bounded(100000));
        testsupport::sqliteExec(mdb, "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('" + codici.last() + "', '" + nome
                                         + "')");
    }
    const auto intatto = impronte(dir.path());
    Esito e = cli({"correct", chiave, "--associa", nome, "--home", home});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains(QStringLiteral("Il valore '%1' corrisponde a %2 record di CLIENTI: nessuna modifica.")
                                   .arg(nome)
                                   .arg(codici.size())))
        << e.err.toStdString();
    for (const QString& codice : codici)
        EXPECT_TRUE(e.err.contains("  " + codice + "\t" + nome + "\n")) << codice.toStdString();
    EXPECT_EQ(impronte(dir.path()), intatto);

    // A code that is no customer's changes nothing; one of the listed ones, in any case, is taken.
    e = cli({"correct", chiave, "--associa-chiave", "NESSUNO", "--home", home});
    EXPECT_EQ(e.stato, 2);
    EXPECT_TRUE(e.err.contains("Codice non presente in CLIENTI: NESSUNO")) << e.err.toStdString();
    EXPECT_EQ(impronte(dir.path()), intatto);
    const QString scelto = codici[caso.bounded(codici.size())];
    e = cli({"correct", chiave, "--associa-chiave", scelto.toLower(), "--home", home, "--senza-copia"});
    EXPECT_EQ(e.stato, 0) << e.err.toStdString();
    EXPECT_EQ(testsupport::sqliteValue(mdb, "SELECT group_concat(NUMORD) FROM VENDITE WHERE CODCLI = '" + scelto + "'")
                  .toString(),
              prima);
}

TEST_F(InputErrato, SettingsFilesThatStillNameTheFolderAreRead)
{
    const QString ini = home + "/LUMERA.INI";
    const QByteArray cartella = archivi.toUtf8();

    // UTF-16 with its byte-order mark, both byte orders.
    QString testo = "[Path]\r\nArchivi=" + archivi + "\r\n";
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (QChar c : testo) {
        le.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    }
    scrivi(ini, le);
    accettato();
    scrivi(ini, be);
    accettato();

    // A megabyte line elsewhere in the file does not hide the key.
    scrivi(ini, "[Altro]\nx=" + QByteArray(1 << 20, 'y') + "\n[Path]\nArchivi=" + cartella + "\n");
    accettato();

    // Section twice, key twice: the first one counts.
    scrivi(ini, "[Path]\nArchivi=" + cartella + "\n[Path]\nArchivi=/nessuna/cartella\n");
    accettato();
    scrivi(ini, "[Path]\nArchivi=" + cartella + "\nArchivi=/nessuna/cartella\n");
    accettato();
    scrivi(ini, "[Path]\nArchivi=/nessuna/cartella\nArchivi=" + cartella + "\n");
    rifiutato(kArchivio);
}

TEST_F(InputErrato, ArchivesThatAreNotArchivesAreRefusedUntouched)
{
    const QString mdb = archivi + "/lumera.mdb";
    const QByteArray buono = leggi(mdb);
    ASSERT_GT(buono.size(), 8192);

    ASSERT_TRUE(QFile::remove(mdb));
    rifiutato(kArchivio);  // a folder without lumera.mdb

    ASSERT_TRUE(QDir().mkdir(mdb));
    rifiutato(kArchivio);  // lumera.mdb is a folder
    ASSERT_TRUE(QDir().rmdir(mdb));

    scrivi(mdb, "");
    rifiutato(kArchivio);

    QByteArray caso(65536, '\0');
    auto* rng = QRandomGenerator::global();
    for (char& c : caso)
        c = char(rng->bounded(256));
    scrivi(mdb, caso);
    rifiutato(kArchivio);

    scrivi(mdb, buono.first(buono.size() / 2 + 100));  // truncated mid-page
    rifiutato(kArchivio);
    scrivi(mdb, buono.first(4096 * 2));  // truncated at a page boundary
    rifiutato(kArchivio);

    QByteArray jet = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4076, 'J');
    scrivi(mdb, jet);
    rifiutato(kArchivio);

    // An SQLite file whose pages are damaged past the header.
    QByteArray guasto = buono;
    for (qsizetype i = 4096; i < guasto.size(); i += 7)
        guasto[i] = char(0xA5);
    scrivi(mdb, guasto);
    rifiutato(kArchivio);

    // Read-only on disk, even for a user who could write it anyway.
    scrivi(mdb, buono);
    ASSERT_TRUE(QFile::setPermissions(mdb, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    rifiutato(kArchivio);
    QFile::setPermissions(mdb, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(InputErrato, MissingOrDamagedMasterIsRefusedUntouched)
{
    const QString master = home + "/esempio.mdb";
    const QByteArray buono = leggi(master);
    ASSERT_TRUE(QFile::remove(master));
    rifiutato(kMaster);

    scrivi(master, buono.first(buono.size() / 3 + 1));
    rifiutato(kMaster);

    scrivi(master, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2028, '\0'));
    rifiutato(kMaster);

    // --master naming a folder.
    scrivi(master, buono);
    rifiutato(kMaster, {"--master", archivi});
}

TEST_F(InputErrato, OddNamesInTheMasterAreCheckedAndRepaired)
{
    // Spaces, apostrophes, quotes and accented letters in every kind of name; brackets where the
    // engine allows them (property names: it refuses them in table, field and index names).
    const QString tabella = QStringLiteral("Nota d'ordine è");
    const QString campoA = QStringLiteral("Codice cliente");
    const QString campoB = QStringLiteral("Q tà dell'ordine");
    const QString campoC = QStringLiteral("Prezzo \"unitario\" €");
    const QString indice = QStringLiteral("Indice l'è 1");
    const QString proprieta = QStringLiteral("Descrizione dell'è [x]");
    {
        dbe::Database m = dbe::OpenDatabase(home + "/esempio.mdb");
        dbe::TableDef t = m.CreateTableDef(tabella);
        t.Fields().Append(t.CreateField(campoA, dbe::dbText, 20));
        t.Fields().Append(t.CreateField(campoB, dbe::dbLong));
        t.Fields().Append(t.CreateField(campoC, dbe::dbDouble));
        dbe::Index ix = t.CreateIndex(indice);
        ix.Fields().Append(ix.CreateField(campoA));
        ix.Fields().Append(ix.CreateField(campoB));
        t.Indexes().Append(ix);
        m.TableDefs().Append(t);
        dbe::TableDef a = m.TableDefs().Item(tabella);
        a.Properties().Append(a.CreateProperty(proprieta, dbe::dbText, QStringLiteral("valore d'è")));
        m.Close();

        // The archive's table has the first field shorter, the second of another type, no third
        // field, no index, no property, and a record.
        dbe::Database d = dbe::OpenDatabase(archivi + "/lumera.mdb");
        dbe::TableDef u = d.CreateTableDef(tabella);
        u.Fields().Append(u.CreateField(campoA, dbe::dbText, 10));
        u.Fields().Append(u.CreateField(campoB, dbe::dbInteger));
        d.TableDefs().Append(u);
        dbe::Recordset rs = d.OpenRecordset(tabella);
        rs.AddNew();
        rs.SetValue(campoA, QStringLiteral("C'1 è"));
        rs.SetValue(campoB, 7);
        rs.Update();
        rs.Close();
        d.Close();
    }

    const Esito prima = cli({"check", "--home", home});
    EXPECT_EQ(prima.stato, 1) << prima.err.toStdString();
    EXPECT_TRUE(prima.out.contains(tabella.toUpper())) << prima.out.toStdString();

    // Two rounds: a rebuilt field may bring its index back only in the second.
    for (int giro = 0; giro < 2; ++giro) {
        const Esito r = cli({"repair-structure", "--home", home});
        EXPECT_TRUE(r.stato == 0 || r.stato == 1) << r.err.toStdString();
    }
    const Esito r = cli({"repair-structure", "--home", home});
    EXPECT_FALSE(r.out.contains("Restano problemi: " + tabella)) << r.out.toStdString();

    dbe::Database d = dbe::OpenDatabase(archivi + "/lumera.mdb");
    dbe::TableDef u = d.TableDefs().Item(tabella);
    EXPECT_EQ(u.Fields().Item(campoB).Type(), dbe::dbLong);
    EXPECT_TRUE(u.Fields().Contains(campoC));
    EXPECT_EQ(u.Fields().Item(campoA).Size(), 20);
    ASSERT_TRUE(u.Indexes().Contains(indice));
    EXPECT_EQ(u.Indexes().Item(indice).Fields().Count(), 2);
    EXPECT_TRUE(u.Properties().Contains(proprieta));
    dbe::Recordset rs = d.OpenRecordset(tabella);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Value(campoA).toString(), QStringLiteral("C'1 è"));
    EXPECT_EQ(rs.Value(campoB).toInt(), 7);
    rs.Close();
    d.Close();
}

TEST_F(InputErrato, NamesTheEngineRefusesInAMasterMadeElsewhereAreRefusedCleanly)
{
    // A master written with plain SQLite can hold names the engine never makes: a table and a
    // field with brackets. The structure check reports them; their corrections fail row by row.
    testsupport::sqliteExec(home + "/esempio.mdb", "CREATE TABLE \"Tab [1]\" (\"Cod [a]\" TEXT, \"Val.b\" INTEGER);"
                                                   "CREATE INDEX \"Tab [1].Ind [x]\" ON \"Tab [1]\" (\"Cod [a]\");"
                                                   "CREATE TABLE \"AGENTI [bis]\" (X TEXT)");
    const int clienti = testsupport::sqliteValue(archivi + "/lumera.mdb", "SELECT count(*) FROM CLIENTI").toInt();
    ASSERT_GT(clienti, 0);
    const Esito c = cli({"check", "--home", home});
    EXPECT_EQ(c.stato, 1) << c.err.toStdString();
    EXPECT_TRUE(c.out.contains("Tab [1]")) << c.out.toStdString();

    const Esito r = cli({"repair-structure", "--home", home});
    EXPECT_EQ(r.stato, 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Restano problemi: ")) << r.out.toStdString();
    // The archive still opens, is sound, and holds no table of those names.
    EXPECT_EQ(testsupport::sqliteValue(archivi + "/lumera.mdb", "PRAGMA integrity_check").toString(),
              QStringLiteral("ok"));
    EXPECT_EQ(testsupport::sqliteValue(archivi + "/lumera.mdb",
                                       "SELECT count(*) FROM sqlite_master WHERE name LIKE '%[%'")
                  .toInt(),
              0);
    EXPECT_EQ(testsupport::sqliteValue(archivi + "/lumera.mdb", "SELECT count(*) FROM CLIENTI").toInt(), clienti);
}

TEST_F(InputErrato, DataThatCannotTakeTheMastersDefinitionIsReportedRowByRowWithTheReason)
{
    {
        dbe::Database m = dbe::OpenDatabase(home + "/esempio.mdb");
        m.Execute("CREATE TABLE PROVA (CODICE TEXT(3), IMPORTO LONG)");
        m.Close();
        dbe::Database d = dbe::OpenDatabase(archivi + "/lumera.mdb");
        d.Execute("CREATE TABLE PROVA (CODICE TEXT(10), IMPORTO TEXT(10))");
        d.Execute("INSERT INTO PROVA VALUES ('ABCDEFG', '2,25')");
        d.Close();
    }
    const Esito r = cli({"repair-structure", "--home", home});
    EXPECT_EQ(r.stato, 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("  Correzione Lunghezza Campo CODICE a 3\tNon e' stato possibile correggere\t"
                               "Errore 3163: Il campo è troppo piccolo"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  Correzione Tipo Campo IMPORTO a 4\tNon e' stato possibile correggere\t"
                               "Errore 3464: Tipo di dati non corrispondente"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("'2,25'")) << r.out.toStdString();
    EXPECT_EQ(
        testsupport::sqliteValue(archivi + "/lumera.mdb", "SELECT CODICE || '/' || IMPORTO FROM PROVA").toString(),
        QStringLiteral("ABCDEFG/2,25"));
}

// A full disk: the open is refused as a full disk, not as a damaged file, and leaves no log or log
// index behind. Each case mounts a small file system of its own (as root, in a mount namespace
// that ends with the case): one without a free byte, one without a free file for the log's index
// (SQLite then fails half-way, after making the log).
TEST_F(InputErrato, AFullDiskIsReportedAsSuchAndLeavesNoLog)
{
    const char* kPieno = R"(m=$1; mount -t tmpfs -o "$5" tmpfs "$m" 2>/dev/null || exit 77
cp "$2" "$m/lumera.mdb" || exit 1
[ "$6" = riempi ] && dd if=/dev/zero of="$m/pieno" bs=4k 2>/dev/null
"$3" check --home "$4" --archive "$m" 2>&1 >/dev/null; echo "stato=$?"; ls -A "$m")";
    const QString mnt = dir.filePath("pieno");
    ASSERT_TRUE(QDir().mkpath(mnt));
    for (const QStringList& caso : {QStringList{"size=1m", "riempi"}, QStringList{"size=4m,nr_inodes=3", ""}}) {
        QProcess p;
        p.start("unshare", {"--mount", "--propagation", "private", "sh", "-c", kPieno, "sh", mnt,
                            archivi + "/lumera.mdb", CORVALE_CLI_PATH, home, caso[0], caso[1]});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        // No mount namespace (unshare refused, as in a container without the right) or no mount.
        if (p.exitCode() == 77 || p.error() == QProcess::FailedToStart || !out.contains("stato="))
            GTEST_SKIP() << "cannot mount a file system of its own here";
        EXPECT_EQ(out, kArchivio + "Spazio su disco insufficiente.\nstato=2\nlumera.mdb\n"
                           + (caso[1].isEmpty() ? "" : "pieno\n"))
            << caso[0].toStdString();
    }
}
