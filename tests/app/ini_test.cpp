// The settings file LUMERA.INI: the one value [Path] Archivi, read as the Windows profile reader
// reads it, then cut to 255 characters and trimmed; nothing in any file can make it fail.
#include "ambiente_prova.h"
#include "support/sessione_prova.h"
#include "core/avvio.h"
#include "core/ini.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>

using namespace corvale;

namespace {
QString Archivi(const QByteArray& ini) { return LeggiValoreIni(ini, u"Path", u"Archivi"); }

void Scrivi(const QString& file, const QByteArray& contenuto)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenuto);
}
}  // namespace

TEST(FileIni, SezioneEChiave)
{
    EXPECT_EQ(Archivi("[Path]\r\nArchivi=C:\\Lumera\\Dati\r\n"), "C:\\Lumera\\Dati");
    EXPECT_EQ(Archivi("[ path ]\n  ARCHIVI  =   /srv/dati   \n"), "/srv/dati");
    EXPECT_EQ(Archivi("[Altro]\nArchivi=no\n[Path]\nAltro=no\nArchivi=si"), "si");
    EXPECT_EQ(Archivi("[Path]\rArchivi=\"/con spazi/ \"\r"), "/con spazi/ ");  // old Mac line ends, quotes
    EXPECT_EQ(Archivi("[Path]\nArchivi='/a'\n"), "/a");
    EXPECT_EQ(Archivi("[Path]\nArchivi=\"/a'\n"), "\"/a'");
    EXPECT_EQ(Archivi("[Path]\nArchivi=/a=b ; non un commento\n"), "/a=b ; non un commento");
    // Absent, empty or elsewhere: the empty text.
    EXPECT_EQ(Archivi(""), "");
    EXPECT_EQ(Archivi("[Path]\nArchivi=\n"), "");
    EXPECT_EQ(Archivi("[Path]\nArchivi\n"), "");
    EXPECT_EQ(Archivi("Archivi=/fuori\n[Path]\n"), "");
    EXPECT_EQ(Archivi("[Path]\n;Archivi=/commento\n"), "");
    EXPECT_EQ(Archivi("[Pathx]\nArchivi=/a\n[Altro]\nArchivi=/b\n"), "");
}

TEST(FileIni, PrimaOccorrenzaVince)
{
    EXPECT_EQ(Archivi("[Path]\nArchivi=/primo\nArchivi=/secondo\n"), "/primo");
    EXPECT_EQ(Archivi("[Path]\nArchivi=/primo\n[Path]\nArchivi=/secondo\n"), "/primo");
    // Only the first section of that name is looked at.
    EXPECT_EQ(Archivi("[Path]\nAltro=1\n[Path]\nArchivi=/secondo\n"), "");
}

TEST(FileIni, Lunghezza)
{
    const QString lungo = QString(300, u'x');
    EXPECT_EQ(Archivi("[Path]\nArchivi=" + lungo.toLatin1()), lungo.left(255));
    EXPECT_EQ(Archivi("[Path]\nArchivi=" + lungo.left(255).toLatin1()), lungo.left(255));
    EXPECT_EQ(LeggiValoreIni(QByteArray("[a]\nb=12345"), u"a", u"b", 3), "123");
}

TEST(FileIni, Codifiche)
{
    const QString testo = QStringLiteral("[Path]\r\nArchivi=/dati/caffè\r\n");
    QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
    EXPECT_EQ(Archivi("\xFF\xFE" + QByteArray(le(testo))), "/dati/caffè");
    EXPECT_EQ(Archivi("\xFE\xFF" + QByteArray(be(testo))), "/dati/caffè");
    EXPECT_EQ(Archivi("\xEF\xBB\xBF" + testo.toUtf8()), "/dati/caffè");
    EXPECT_EQ(Archivi(testo.toLatin1()), "/dati/caffè");  // the Western code page
}

TEST(FileIni, NessunContenutoLoFaFallire)
{
    EXPECT_EQ(Archivi(QByteArray("[Path]\nArchivi=/a\0/b\n", 21)), "/a");
    EXPECT_EQ(Archivi(QByteArray("\xFF\xFE[\0P\0", 6)), "");  // UTF-16, cut short
    EXPECT_EQ(Archivi(QByteArray("\xFF\xFE[\0P\0a\0t\0h\0]", 13)), "");  // odd length
    EXPECT_EQ(Archivi("[Path"), "");
    EXPECT_EQ(Archivi("["), "");
    EXPECT_EQ(Archivi("="), "");
    // A line of a megabyte, before and as the value.
    const QByteArray mega(1 << 20, 'z');
    EXPECT_EQ(Archivi(mega + "\n[Path]\nArchivi=/a"), "/a");
    EXPECT_EQ(Archivi("[Path]\nArchivi=" + mega), QString(255, u'z'));
    EXPECT_EQ(Archivi("[Path]\nArchivi=" + QByteArray(1 << 20, ' ') + "/a"), "/a");
    // Random bytes, with and without a usable section around them.
    QRandomGenerator caso(20011);
    for (int i = 0; i < 300; ++i) {
        QByteArray b(caso.bounded(2000), '\0');
        for (char& c : b)
            c = char(caso.bounded(256));
        if (i % 3 == 0)
            b = (i % 2 ? "\xFF\xFE" : "") + b;
        Archivi(b);
        EXPECT_EQ(Archivi("[Path]\nArchivi=/a\n" + b), "/a");
    }
    // A pipe nobody writes into and an endless device are no settings file: read at once as empty.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("LUMERA.INI");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(LeggiFileIni(fifo, u"Path", u"Archivi"), "");
    EXPECT_EQ(LeggiFileIni("/dev/zero", u"Path", u"Archivi"), "");
}

class Avvio : public prova::AmbienteApp {};

TEST_F(Avvio, LeggiPathArchivi)
{
    const QString ini = programma.path() + "/LUMERA.INI";
    // No file: empty folder, empty master stamp, and nothing shown.
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, "");
    EXPECT_EQ(SessioneProva().VersioneMaster, "");

    Scrivi(ini, "[Path]\r\nArchivi=   /dati/lumera/   \r\n");
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, "/dati/lumera/");  // used as written: the separator stays

    // 300 characters whose 255th is a space: the first 255, then trimmed.
    const QByteArray valore = QByteArray(254, 'd') + "  e" + QByteArray(43, 'f');
    Scrivi(ini, "[Path]\nArchivi=" + valore + "\n");
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, QString(254, u'd'));

    // The file is never written.
    EXPECT_EQ(QFile(ini).size(), 15 + valore.size() + 1);
    EXPECT_TRUE(OperatoreDiProva().Mostrati().isEmpty());

    // A name in other case is found when the exact name is absent.
    QFile::remove(ini);
    Scrivi(programma.path() + "/lumera.ini", "[Path]\nArchivi=/minuscolo\n");
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, "/minuscolo");

    // A folder in place of the file reads as nothing.
    QFile::remove(programma.path() + "/lumera.ini");
    ASSERT_TRUE(QDir(programma.path()).mkdir("LUMERA.INI"));
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, "");
}

TEST_F(Avvio, UnPercorsoCheNonEUnFileVieneDettoPerQuelloCheE)
{
    // A settings path that is a folder, a pipe nobody writes into or a device: read at once as
    // nothing, and the notice says what is there instead of "non esiste".
    const QString ini = programma.path() + "/LUMERA.INI";
    const QString nome = QDir::toNativeSeparators(ini);
    const struct {
        const char* tipo;
        std::function<bool()> crea;
    } casi[] = {
        {"una cartella", [&] { return QDir().mkdir(ini); }},
        {"una pipe con nome (FIFO)", [&] { return mkfifo(QFile::encodeName(ini).constData(), 0600) == 0; }},
        {"un dispositivo", [&] { return QFile::link("/dev/zero", ini); }},
    };
    EXPECT_EQ(AvvisoFileImpostazioni(programma.path()), "Il file delle impostazioni '" + nome + "' non esiste.");
    for (const auto& c : casi) {
        ASSERT_TRUE(c.crea()) << c.tipo;
        QElapsedTimer tempo;
        tempo.start();
        LeggiPathArchivi(SessioneProva());
        EXPECT_EQ(SessioneProva().PathArchivi, "");
        EXPECT_EQ(AvvisoFileImpostazioni(programma.path()), "Il file delle impostazioni '" + nome
                                                                + "' non può essere letto: è " + c.tipo
                                                                + ", non un file ordinario.");
        EXPECT_LT(tempo.elapsed(), 5000) << c.tipo;
        ASSERT_TRUE(QDir().rmdir(ini) || QFile::remove(ini));
    }
    // A link to a plain file is that file.
    Scrivi(programma.path() + "/vero.ini", "[Path]\nArchivi=/dal/collegamento\n");
    ASSERT_TRUE(QFile::link(programma.path() + "/vero.ini", ini));
    LeggiPathArchivi(SessioneProva());
    EXPECT_EQ(SessioneProva().PathArchivi, "/dal/collegamento");
    EXPECT_EQ(AvvisoFileImpostazioni(programma.path()), "");
}

TEST_F(Avvio, CartellaDelProgrammaDaCorvaleHome)
{
    SessioneProva().ImpostaCartellaProgramma(QString());
    qputenv("CORVALE_HOME", programma.path().toUtf8());
    Scrivi(programma.path() + "/LUMERA.INI", "[Path]\nArchivi=/da/home\n");
    LeggiPathArchivi(SessioneProva());
    qunsetenv("CORVALE_HOME");
    EXPECT_EQ(SessioneProva().PathArchivi, "/da/home");
    EXPECT_EQ(SessioneProva().CartellaProgramma(), QCoreApplication::applicationDirPath());
}
