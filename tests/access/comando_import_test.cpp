// corvale-cli on real Access files: the import command with its progress and its refusals, the
// facts known of the Northwind sample, and an Access archive and master checked as they are, with
// every correction refused.
#include "support/processo_cli.h"
#include "support/seconda_lettura.h"
#include "support/sqlite_file.h"
#include "support/stampa_qt.h"

#include "dbengine/dbengine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>
#include <functional>

using namespace testsupport;
using corvale::prova::EseguiCli;
using corvale::prova::EsitoCli;

namespace {

class ComandiAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The commands' temporary folder is the test's own, so that files another test running at
        // the same time leaves there do not count.
        tmpPrima = qgetenv("TMPDIR");
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir("tmp");
        qputenv("TMPDIR", dir.filePath("tmp").toLocal8Bit());
        campioni = CartellaCampioniAccess();
        if (campioni.isEmpty())
            GTEST_SKIP() << "file Access di prova non trovati (CORVALE_JET_SAMPLES)";
    }
    void TearDown() override
    {
        if (tmpPrima.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmpPrima);
    }
    QString campione(const QString& nome) const { return campioni + QLatin1Char('/') + nome; }
    // A writable copy of a sample, for the tests that damage it.
    QString copia(const QString& nome, const QString& come)
    {
        const QString dest = dir.filePath(come);
        writeFile(dest, fileBytes(campione(nome)));
        return dest;
    }
    QStringList contenuto() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QString campioni;
    QTemporaryDir dir;
    QByteArray tmpPrima;
};

// A folder where no file can be created: one without write permission, or for root (whom
// permissions do not stop) the system's own folder of kernel objects.
QString cartellaChiusa()
{
    if (::geteuid() == 0)
        return QStringLiteral("/sys");
    static QTemporaryDir chiusa;
    QFile::setPermissions(chiusa.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    return chiusa.path();
}

QStringList temporaneiAccess() { return QDir::temp().entryList({"corvale-access-*"}, QDir::Files); }

}  // namespace

TEST_F(ComandiAccess, ImportOfNorthwindKeepsWhatTheSampleHolds)
{
    const QString dest = dir.filePath("nwind.db");
    const EsitoCli e = EseguiCli({"import", campione("nwind.mdb"), dest});
    ASSERT_EQ(e.stato, 0) << e.err.toStdString();
    for (const char* riga :
         {"Tabella Customers: 91 record", "Tabella Orders: 830 record", "Tabella Order Details: 2155 record",
          "Tabella Products: 77 record", "Tabella Employees: 9 record", "Tabella Umsätze: 830 record"})
        EXPECT_TRUE(e.err.contains(QString::fromUtf8(riga))) << riga;
    EXPECT_TRUE(e.out.contains("Importate 9 tabelle, 4032 record"));

    dbe::Database db = dbe::OpenDatabase(dest);
    const dbe::TableDef orders = db.TableDefs().Item("Orders");
    EXPECT_EQ(orders.Fields().Item("CustomerID").Type(), dbe::dbText);
    EXPECT_EQ(orders.Fields().Item("CustomerID").Size(), 5);
    EXPECT_EQ(orders.Fields().Item("OrderID").Attributes(), dbe::dbFixedField | dbe::dbAutoIncrField);
    EXPECT_EQ(orders.Fields().Item("Freight").Type(), dbe::dbCurrency);
    EXPECT_EQ(orders.Properties().Item("Description").Value().toString(),
              "Customer name, order date, and freight charge for each order.");
    EXPECT_TRUE(db.TableDefs().Item("Products").Fields().Item("ProductName").Required());
    const dbe::Index chiave = db.TableDefs().Item("Order Details").Indexes().Item("PrimaryKey");
    EXPECT_TRUE(chiave.Primary() && chiave.Unique() && chiave.Required());
    ASSERT_EQ(chiave.Fields().Count(), 2);
    EXPECT_EQ(chiave.Fields().Item(1).Name(), "ProductID");
    EXPECT_TRUE(db.TableDefs().Item("Categories").Indexes().Item("CategoryName").Unique());

    dbe::Recordset rs = db.OpenRecordset("SELECT CompanyName FROM Customers WHERE CustomerID = 'ALFKI'");
    EXPECT_EQ(rs.Value(0).toString(), "Alfreds Futterkiste");
    rs.Close();
    rs = db.OpenRecordset("SELECT OrderDate, Freight FROM Orders WHERE OrderID = 10248");
    EXPECT_EQ(rs.Value(0).toDateTime().toString("yyyy-MM-dd HH:mm:ss"), "1994-08-04 00:00:00");
    EXPECT_DOUBLE_EQ(rs.Value(1).toDouble(), 32.38);
    rs.Close();
    rs = db.OpenRecordset("SELECT Notes, Photo FROM Employees WHERE EmployeeID = 1");
    EXPECT_EQ(rs.Value(0).toString().size(), 175);
    EXPECT_EQ(rs.Value(1).toByteArray().size(), 21626);
    rs.Close();
    db.Close();
}

TEST_F(ComandiAccess, RefusedImportsLeaveNoDestination)
{
    const QString testo = dir.filePath("testo.mdb");
    writeFile(testo, "non sono un database\n");
    const QString esistente = dir.filePath("esistente.db");
    writeFile(esistente, "da non toccare");
    const QString troncato = copia("testV2000.mdb", "troncato.mdb");
    QFile(troncato).resize(QFile(troncato).size() - 1000);
    const QString corto = copia("nwind.mdb", "corto.mdb");  // whole pages, the records' last ones gone
    QFile(corto).resize(2048 * 600);
    const QString catalogo = copia("testV2000.mdb", "catalogo.mdb");
    QByteArray byte = fileBytes(catalogo);
    byte.replace(2 * 4096, 4096, QByteArray(4096, '\0'));
    writeFile(catalogo, byte);

    const struct {
        QString sorgente, destinazione, motivo;
    } casi[] = {
        {campione("testV2000.mdb"), esistente, "esiste già"},
        {campione("testV2000.mdb"), dir.filePath("manca/nuovo.db"), "non esiste"},
        {dir.filePath("assente.mdb"), dir.filePath("nuovo.db"), "non esiste"},
        {testo, dir.filePath("nuovo.db"), "non è un file Access"},
        {troncato, dir.filePath("nuovo.db"), "danneggiato"},
        {corto, dir.filePath("nuovo.db"), "danneggiato"},
        {catalogo, dir.filePath("nuovo.db"), "danneggiato"},
        {campione("testV2000.mdb"), cartellaChiusa() + "/nuovo.db", "non si hanno i permessi"},
    };
    const QStringList prima = contenuto();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.sorgente.toStdString());
        const QByteArray impronta = fileBytes(c.sorgente);
        const EsitoCli e = EseguiCli({"import", c.sorgente, c.destinazione});
        EXPECT_EQ(e.stato, 2);
        EXPECT_TRUE(e.err.contains(c.motivo)) << e.err.toStdString();
        EXPECT_EQ(contenuto(), prima);
        EXPECT_EQ(fileBytes(c.sorgente), impronta);
    }
    EXPECT_EQ(fileBytes(esistente), "da non toccare");
    EXPECT_EQ(EseguiCli({"import", campione("nwind.mdb")}).stato, 2);
}

TEST_F(ComandiAccess, AccessArchiveAndMasterAreCheckedAsTheyAreAndNeverChanged)
{
    QDir(dir.path()).mkdir("home");
    QDir(dir.path()).mkdir("archivi");
    const QString master = copia("nwind.mdb", "home/esempio.mdb");
    const QString archivio = copia("nwind.mdb", "archivi/lumera.mdb");
    const QByteArray originale = fileBytes(archivio);
    const QStringList temporanei = temporaneiAccess();
    const QStringList opzioni = {"--home", dir.filePath("home"), "--archive", dir.filePath("archivi")};

    const QString rapporto = dir.filePath("rapporto.html");
    const EsitoCli check = EseguiCli(QStringList{"check", "--json", "--html", rapporto} + opzioni);
    ASSERT_EQ(check.stato, 1) << check.err.toStdString();
    const QJsonObject radice = QJsonDocument::fromJson(check.out.toUtf8()).object();
    // The operator's own files are named, never the temporary archives read in their place.
    EXPECT_EQ(radice.value("archive").toString(), QFileInfo(archivio).absoluteFilePath());
    EXPECT_EQ(radice.value("master").toString(), QFileInfo(master).absoluteFilePath());
    const QString html = QString::fromUtf8(fileBytes(rapporto));
    EXPECT_TRUE(html.contains(QDir::toNativeSeparators(QFileInfo(archivio).absoluteFilePath()).toHtmlEscaped()));
    EXPECT_FALSE(html.contains("corvale-access-"));
    // The 29 data checks that cannot run on Northwind are counted apart from those with problems.
    EXPECT_TRUE(html.contains("29 su 38 non si sono potuti eseguire"))
        << html.section("Riepilogo", 1, 1).left(300).toStdString();
    const QJsonArray task = radice.value("tasks").toArray();
    int struttura = 0, nonEseguibili = 0;
    for (const QJsonValue& t : task) {
        const QJsonObject o = t.toObject();
        if (o.value("type").toString() == "ST") {
            ++struttura;
            EXPECT_EQ(o.value("state").toString(), "VER_OK") << o.value("description").toString().toStdString();
        } else if (o.value("detail").toString().startsWith("Impossibile eseguire il controllo")) {
            ++nonEseguibili;
        }
    }
    EXPECT_EQ(struttura, 9);
    EXPECT_EQ(nonEseguibili, 29);

    // Every command that would change the archive, or write its journal beside it, is refused
    // with the same message, and writes nothing there.
    const QStringList cartellaPrima = QDir(dir.filePath("archivi")).entryList(QDir::Files | QDir::Hidden);
    for (const QStringList& comando :
         {QStringList{"repair-structure"}, QStringList{"correct", "0010K", "--elimina"}, QStringList{"registro"},
          QStringList{"ripara"}, QStringList{"annulla", "1"}, QStringList{"ripristina", master}}) {
        SCOPED_TRACE(comando.first().toStdString());
        const EsitoCli e = EseguiCli(comando + opzioni);
        EXPECT_EQ(e.stato, 2);
        EXPECT_TRUE(e.err.contains("file Access aperto in sola lettura")) << e.err.toStdString();
        EXPECT_TRUE(e.err.contains("corvale-cli importa")) << e.err.toStdString();
    }
    EXPECT_EQ(QDir(dir.filePath("archivi")).entryList(QDir::Files | QDir::Hidden), cartellaPrima);
    EXPECT_EQ(fileBytes(archivio), originale);
    EXPECT_EQ(fileBytes(master), originale);
    EXPECT_EQ(temporaneiAccess(), temporanei);
}

// Northwind damaged by seeded random bytes, two ways: runs of several lengths written past its
// 40th page, and bytes sprinkled over a table's definition page (page type 2; libmdb then reads
// index definitions that are not there). Every such file is imported, or opened as the archive of
// a check, in bounded time, with a whole import or a clear refusal, never a crash, a hang,
// libmdb's own lines or a file left behind.
TEST_F(ComandiAccess, DamagedFilesAreReadOrRefusedNeverCrashHangOrFlood)
{
    qputenv("CORVALE_ACCESS_SECONDI", "2");
    constexpr int kPagina = 2048;
    const QByteArray originale = fileBytes(campione("nwind.mdb"));
    QVector<int> definizioni;  // the table definition pages, past the catalogue's own
    for (int p = 5; p < originale.size() / kPagina; ++p)
        if (originale[p * kPagina] == 2 && originale[p * kPagina + 1] == 1)
            definizioni << p;
    ASSERT_GT(definizioni.size(), 5);
    const int lunghezze[] = {16, 300, 5000, 20000};
    QDir(dir.path()).mkdir("home");
    QDir(dir.path()).mkdir("archivi");
    copia("nwind.mdb", "home/esempio.mdb");
    const QStringList temporanei = temporaneiAccess();
    int rifiutati = 0;
    QRandomGenerator semi(20261206);
    for (int k = 0; k < 52; ++k) {
        const quint32 seme = semi.generate();
        QRandomGenerator caso(seme);
        QByteArray byte = originale;
        if (k % 2 == 0) {
            const int n = lunghezze[(k / 2) % 4];
            const int da = 40 * kPagina + int(caso.bounded(quint32(byte.size() - 40 * kPagina - n)));
            for (int i = 0; i < n; ++i)
                byte[da + i] = char(caso.bounded(256));
        } else {
            const int pagina = definizioni[int(caso.bounded(quint32(definizioni.size())))] * kPagina;
            for (int i = 8; i < kPagina; ++i)
                if (caso.bounded(20) == 0)
                    byte[pagina + i] = char(caso.bounded(256));
        }
        const QString sorgente = dir.filePath(QStringLiteral("d%1.mdb").arg(k));
        writeFile(sorgente, byte);
        SCOPED_TRACE(QStringLiteral("file %1, seme %2").arg(k).arg(seme).toStdString());
        const QString dest = dir.filePath(QStringLiteral("d%1.db").arg(k));
        QElapsedTimer orologio;
        orologio.start();
        const EsitoCli e = EseguiCli({"import", sorgente, dest});
        EXPECT_LT(orologio.elapsed(), 60000);
        ASSERT_TRUE(e.stato == 0 || e.stato == 2) << e.stato << " " << e.err.left(300).toStdString();
        EXPECT_LT(e.err.size(), 20000);
        EXPECT_FALSE(e.err.contains("CRITICAL") || e.err.contains("Warning")) << e.err.left(300).toStdString();
        if (e.stato == 2) {
            ++rifiutati;
            EXPECT_TRUE(e.err.contains("danneggiato") || e.err.contains("Importazione interrotta"))
                << e.err.toStdString();
            EXPECT_FALSE(QFileInfo::exists(dest));
        }
        if (k % 8 == 0) {  // the same reading behind a check of the file as the archive
            writeFile(dir.filePath("archivi/lumera.mdb"), byte);
            const EsitoCli c =
                EseguiCli({"check", "--home", dir.filePath("home"), "--archive", dir.filePath("archivi")});
            EXPECT_TRUE(c.stato >= 0 && c.stato <= 2) << c.stato << " " << c.err.left(300).toStdString();
            EXPECT_FALSE(c.err.contains("CRITICAL") || c.err.contains("Warning"));
        }
    }
    EXPECT_GT(rifiutati, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList({".*importazione*"}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(temporaneiAccess(), temporanei);
    qunsetenv("CORVALE_ACCESS_SECONDI");
}

// Ctrl-C while an Access file is read (an import, and a check with the file as its archive) leaves
// no temporary file: neither the hidden one beside the destination nor the copy in the temporary
// folder (the command's own, so that other tests' files do not count).
TEST_F(ComandiAccess, InterruptedCommandsLeaveNoTemporaryFile)
{
    QDir(dir.path()).mkdir("home");
    QDir(dir.path()).mkdir("archivi");
    copia("nwind.mdb", "home/esempio.mdb");
    copia("nwind.mdb", "archivi/lumera.mdb");
    const auto nascosti = [this] {
        return QDir(dir.path()).entryList({".*importazione*"}, QDir::Files | QDir::Hidden);
    };
    const auto copieTmp = [this] { return QDir(dir.filePath("tmp")).entryList(QDir::Files | QDir::Hidden); };
    const struct {
        QStringList argomenti;
        std::function<bool()> inCorso;  // true once the temporary file the command makes is there
    } casi[] = {
        {{"import", campione("nwind.mdb"), dir.filePath("nuovo.db")}, [&] { return !nascosti().isEmpty(); }},
        {{"check", "--home", dir.filePath("home"), "--archive", dir.filePath("archivi")},
         [&] { return !copieTmp().isEmpty(); }},
    };
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("TMPDIR", dir.filePath("tmp"));
    for (const auto& c : casi) {
        SCOPED_TRACE(c.argomenti.first().toStdString());
        // A loaded machine may finish the command before the file is seen: then it is tried again.
        bool visto = false;
        for (int prova = 0; prova < 10 && !visto; ++prova) {
            QProcess p;
            p.setProcessEnvironment(ambiente);
            p.start(QStringLiteral(CORVALE_CLI_PATH), c.argomenti);
            ASSERT_TRUE(p.waitForStarted());
            for (int i = 0; i < 50000 && p.state() == QProcess::Running && !(visto = c.inCorso()); ++i)
                QThread::usleep(100);
            if (visto)
                ::kill(pid_t(p.processId()), SIGINT);
            ASSERT_TRUE(p.waitForFinished(30000));
            EXPECT_TRUE(!visto || p.exitStatus() == QProcess::CrashExit);
            EXPECT_TRUE(nascosti().isEmpty());
            EXPECT_TRUE(copieTmp().isEmpty()) << copieTmp().join(' ').toStdString();
            QFile::remove(dir.filePath("nuovo.db"));
        }
        EXPECT_TRUE(visto) << "il file temporaneo non si è mai visto";
    }
}
