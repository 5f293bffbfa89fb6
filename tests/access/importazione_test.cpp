// The import of real Access files (Jet 3, Jet 4, ACE), read side by side with the stock mdbtools
// commands: every table, record count, value, field, index and table property; the facts known of
// the Northwind sample; and the refusals that leave no destination behind.
#include "access/importazione.h"
#include "support/seconda_lettura.h"
#include "support/sqlite_file.h"
#include "support/stampa_qt.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace corvale;
using namespace testsupport;

namespace {

QByteArray impronta(const QString& file)
{
    return QCryptographicHash::hash(fileBytes(file), QCryptographicHash::Sha256);
}

// An engine value in mdb-export's formatting (numbers of single and double are compared apart).
QString comeMdb(const QVariant& v, short tipo)
{
    if (!v.isValid() || v.isNull())
        return QString::fromLatin1(kNullMdb);
    switch (tipo) {
    case dbe::dbBoolean: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case dbe::dbCurrency: return QString::number(v.toDouble(), 'f', 4);
    case dbe::dbDate: return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case dbe::dbBinary:
    case dbe::dbLongBinary: return QString::fromLatin1(v.toByteArray().toHex()).toUpper();
    default: return v.toString();
    }
}

// mdb-export writes "?" for each half of a character beyond the Basic Multilingual Plane.
QString comeIconvMdb(const QString& s)
{
    QString out;
    for (const QChar c : s)
        out += c.isSurrogate() ? QChar(u'?') : c;
    return out;
}

bool uguali(const QString& mdb, const QVariant& nostro, short tipo)
{
    if ((tipo == dbe::dbText || tipo == dbe::dbMemo) && nostro.isValid())
        return mdb == comeIconvMdb(nostro.toString());
    if (tipo == dbe::dbSingle || tipo == dbe::dbDouble) {
        if (mdb == QLatin1String(kNullMdb) || !nostro.isValid())
            return mdb == comeMdb(nostro, tipo);
        const double a = mdb.toDouble(), b = nostro.toDouble();
        return std::fabs(a - b) <= (tipo == dbe::dbSingle ? 1e-6 : 1e-9) * std::max(1.0, std::fabs(a));
    }
    if (tipo == dbe::dbBinary || tipo == dbe::dbLongBinary)
        return mdb.toUpper() == comeMdb(nostro, tipo);
    return mdb == comeMdb(nostro, tipo);
}

// mdb-schema's words for the engine's type codes.
QString tipoMdb(const dbe::Field& f)
{
    switch (f.Type()) {
    case dbe::dbBoolean: return QStringLiteral("Boolean");
    case dbe::dbByte: return QStringLiteral("Byte");
    case dbe::dbInteger: return QStringLiteral("Integer");
    case dbe::dbLong: return QStringLiteral("Long Integer");
    case dbe::dbCurrency: return QStringLiteral("Currency");
    case dbe::dbSingle: return QStringLiteral("Single");
    case dbe::dbDouble: return QStringLiteral("Double");
    case dbe::dbDate: return QStringLiteral("DateTime");
    case dbe::dbText: return QStringLiteral("Text (%1)").arg(f.Size());
    case dbe::dbMemo: return QStringLiteral("Memo/Hyperlink (255)");
    case dbe::dbLongBinary: return QStringLiteral("OLE (255)");
    case dbe::dbGUID: return QStringLiteral("Replication ID");
    default: return QStringLiteral("tipo %1").arg(f.Type());
    }
}

QStringList indiciNostri(const dbe::TableDef& t)
{
    QStringList indici;
    for (int i = 0; i < t.Indexes().Count(); ++i) {
        const dbe::Index ix = t.Indexes().Item(i);
        QStringList campi;
        for (int k = 0; k < ix.Fields().Count(); ++k)
            campi << ix.Fields().Item(k).Name().toLower().remove(QLatin1Char(' '));
        const QString tipo = ix.Primary() ? "PRIMARY" : ix.Unique() ? "UNIQUE" : "INDEX";
        indici << tipo + QLatin1Char(' ') + campi.join(QLatin1Char(','));
    }
    std::sort(indici.begin(), indici.end());
    return indici;
}

// Compares one imported table with the second reading, field by field and record by record.
void confrontaTabella(const QString& file, const dbe::Database& db, const QString& nome)
{
    SCOPED_TRACE((QFileInfo(file).fileName() + " / " + nome).toStdString());
    const dbe::TableDef t = db.TableDefs().Item(nome);
    EXPECT_EQ(t.RecordCount(), MdbConta(file, nome));

    const auto campi = MdbCampi(file, nome);
    // The columns of mdb-export's records that the import carries: a complex field of ACE with a
    // child table as the number linking its values (mdb-export gives the same), the others
    // (version history) left out.
    QVector<int> colonne;
    for (int i = 0; i < campi.size(); ++i)
        if (!campi[i].second.startsWith(QLatin1String("Unknown_"))
            || db.TableDefs().Contains(nome + '_' + campi[i].first))
            colonne << i;
    ASSERT_EQ(t.Fields().Count(), colonne.size());
    for (int i = 0; i < colonne.size(); ++i) {
        const dbe::Field f = t.Fields().Item(i);
        EXPECT_EQ(f.Name(), campi[colonne[i]].first);
        // A yes/no field is never Null: mdb-schema says NOT NULL whatever its Required says.
        const bool nonNull = f.Required() || f.Type() == dbe::dbBoolean;
        const QString atteso = campi[colonne[i]].second;
        EXPECT_EQ(tipoMdb(f) + (nonNull ? " NOT NULL" : ""), atteso == "Unknown_0012" ? "Long Integer" : atteso);
    }
    // An index whose fields libmdb cannot find is left out of the import (and reported).
    QStringList indici = MdbIndici(file, nome);
    indici.erase(std::remove_if(indici.begin(), indici.end(), [](const QString& i) { return i.endsWith(' '); }),
                 indici.end());
    // Access's hidden indexes on the complex fields stay out with their fields.
    for (int i = 0; i < campi.size(); ++i)
        if (campi[i].second.startsWith(QLatin1String("Unknown_")))
            indici.removeAll(QStringLiteral("UNIQUE ") + campi[i].first.toLower().remove(QLatin1Char(' ')));
    EXPECT_EQ(indiciNostri(t), indici);

    const QVector<QStringList> attesi = MdbEsporta(file, nome);
    dbe::Recordset rs = db.OpenRecordset(nome, dbe::dbOpenTable);
    int r = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++r) {
        ASSERT_LT(r, attesi.size());
        ASSERT_EQ(attesi[r].size(), campi.size());
        for (int c = 0; c < rs.FieldCount(); ++c)
            EXPECT_TRUE(uguali(attesi[r][colonne[c]], rs.Value(c), rs.FieldType(c)))
                << "record " << r << " campo " << rs.FieldName(c).toStdString() << ": mdb-export "
                << attesi[r][colonne[c]].left(80).toStdString() << ", importato "
                << comeMdb(rs.Value(c), rs.FieldType(c)).left(80).toStdString();
    }
    EXPECT_EQ(r, attesi.size());
    rs.Close();
}

// The child table of a complex field against the file's hidden table of its values as mdbtools
// reads it: the same records in the same order, the link number (the hidden table's "_field") and
// every value but an attachment's file (its bytes are held to the sample's known facts).
void confrontaFiglio(const QString& file, const dbe::Database& db, const QString& genitore, const QString& campo)
{
    const QString nome = genitore + '_' + campo;
    SCOPED_TRACE((QFileInfo(file).fileName() + " / " + nome).toStdString());
    QString piatta;
    for (const QString& t : Mdb("mdb-tables", {"-S", "-1", file}).split('\n', Qt::SkipEmptyParts))
        if (t.startsWith("f_") && t.endsWith('_' + campo))
            piatta = t;
    ASSERT_FALSE(piatta.isEmpty());
    const auto campi = MdbCampi(file, piatta);
    const QVector<QStringList> attesi = MdbEsporta(file, piatta);
    dbe::Recordset rs = db.OpenRecordset(nome, dbe::dbOpenTable);
    int r = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++r) {
        ASSERT_LT(r, attesi.size());
        for (int c = 0; c < rs.FieldCount(); ++c) {
            const QString colonna = rs.FieldName(c) == campo ? '_' + campo : rs.FieldName(c);
            const auto m =
                std::find_if(campi.cbegin(), campi.cend(), [&](const auto& p) { return p.first == colonna; });
            ASSERT_NE(m, campi.cend()) << colonna.toStdString();
            EXPECT_TRUE(colonna == "FileData"
                        || uguali(attesi[r][int(m - campi.cbegin())], rs.Value(c), rs.FieldType(c)))
                << "record " << r << " " << colonna.toStdString();
        }
    }
    EXPECT_EQ(r, attesi.size());
}

// The table's own properties that mdb-prop lists and the archive holds, compared by text.
void confrontaProprieta(const QString& file, const dbe::TableDef& t)
{
    const QMap<QString, QString> attese = MdbProprieta(file, t.Name());
    for (auto it = attese.cbegin(); it != attese.cend(); ++it) {
        if (it.key() == QLatin1String("GUID") || it.key() == QLatin1String("NameMap"))
            continue;
        ASSERT_TRUE(t.Properties().Contains(it.key())) << t.Name().toStdString() << "." << it.key().toStdString();
        const dbe::Property p = t.Properties().Item(it.key());
        const QString testo = p.Type() == dbe::dbBoolean ? (p.Value().toBool() ? "yes" : "no") : p.Value().toString();
        EXPECT_EQ(testo, it.value()) << t.Name().toStdString() << "." << it.key().toStdString();
    }
}

class ImportAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (CartellaCampioniAccess().isEmpty())
            GTEST_SKIP() << "file Access di prova non trovati (CORVALE_JET_SAMPLES)";
        ASSERT_TRUE(dir.isValid());
    }
    QString importa(const QString& sorgente, const QString& nome)
    {
        const QString dest = dir.filePath(nome);
        access::ImportaAccess(sorgente, dest);
        return dest;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ImportAccess, EverySampleReadsAsMdbtoolsReadsIt)
{
    for (const QString& file : CampioniAccess()) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray prima = impronta(file);
        const QString dest = importa(file, QFileInfo(file).completeBaseName() + ".db");
        EXPECT_EQ(impronta(file), prima) << "la sorgente è cambiata";

        dbe::Database db = dbe::OpenDatabase(dest);
        QStringList nostre;
        for (int i = 0; i < db.TableDefs().Count(); ++i)
            if (!(db.TableDefs().Item(i).Attributes() & dbe::dbSystemObject))
                nostre << db.TableDefs().Item(i).Name();
        QStringList attese = MdbTabelle(file);
        for (const QString& t : attese)
            for (const auto& campo : MdbCampi(file, t))
                if (nostre.removeAll(t + '_' + campo.first) > 0)
                    confrontaFiglio(file, db, t, campo.first);
        nostre.sort(Qt::CaseInsensitive);
        attese.sort(Qt::CaseInsensitive);
        ASSERT_EQ(nostre, attese);
        for (const QString& t : attese) {
            confrontaTabella(file, db, t);
            // Northwind's forms carry the names of its tables, and mdb-prop reads the first object
            // of a name: there the table's properties are compared through the known facts.
            if (QFileInfo(file).fileName() != QLatin1String("nwind.mdb"))
                confrontaProprieta(file, db.TableDefs().Item(t));
        }
        db.Close();
    }
}

// What libmdb's own text reading loses comes in as stored: a text present and empty stays the
// empty text, not Null, and characters beyond the Basic Multilingual Plane come whole.
TEST_F(ImportAccess, EmptyTextsAndEveryCharacterComeInAsStored)
{
    // testV2000's second record of Table1 ("a", "b", ...) with its last text B made empty: the end
    // of the record's data moved back to where B starts (B's offset, 0x23, after the end, 0x25).
    QByteArray byte = fileBytes(CartellaCampioniAccess() + "/testV2000.mdb");
    const QByteArray coda = QByteArray::fromHex("610062002500230021000200");
    ASSERT_EQ(byte.count(coda), 1);
    byte.replace(byte.indexOf(coda) + 4, 2, QByteArray::fromHex("2300"));
    const QString vuoto = dir.filePath("vuoto.mdb");
    writeFile(vuoto, byte);
    const QString dest = importa(vuoto, "vuoto.db");
    EXPECT_EQ(sqliteValue(dest, "SELECT quote(B) FROM Table1 WHERE A = 'a'"), QVariant("''"));
    EXPECT_EQ(sqliteValue(dest, "SELECT B FROM Table1 WHERE A = 'abcdefg'"), QVariant("hijklmnop"));
    const QString intatto = importa(CartellaCampioniAccess() + "/testV2000.mdb", "intatto.db");
    EXPECT_EQ(sqliteValue(intatto, "SELECT quote(B) FROM Table1 WHERE A = 'a'"), QVariant("'b'"));
    // The samples' Null texts stay Null.
    for (const QString& file : CampioniAccess()) {
        const QString d = importa(file, QFileInfo(file).completeBaseName() + ".nulli.db");
        dbe::Database db = dbe::OpenDatabase(d);
        for (int i = 0; i < db.TableDefs().Count(); ++i) {
            const dbe::TableDef t = db.TableDefs().Item(i);
            if (t.Attributes() & dbe::dbSystemObject)
                continue;
            const QVector<QStringList> attesi = MdbEsporta(file, t.Name());
            const auto campi = MdbCampi(file, t.Name());
            for (int m = 0; m < campi.size(); ++m) {
                if (!t.Fields().Contains(campi[m].first))
                    continue;
                const dbe::Field f = t.Fields().Item(campi[m].first);
                if (f.Type() != dbe::dbText && f.Type() != dbe::dbMemo)
                    continue;
                qint64 nulli = 0;
                for (const QStringList& r : attesi)
                    nulli += r.value(m) == QLatin1String(kNullMdb);
                EXPECT_EQ(sqliteValue(d, QStringLiteral("SELECT count(*) FROM [%1] WHERE [%2] IS NULL")
                                             .arg(t.Name(), f.Name())),
                          QVariant(nulli))
                    << file.toStdString() << " " << t.Name().toStdString() << "." << f.Name().toStdString();
            }
        }
        db.Close();
    }

    // testEmoticonsV2010: each record's key is a code point, its text "a", that character, "a".
    const QString emoticon = importa(CartellaCampioniAccess() + "/testEmoticonsV2010.accdb", "emoticon.db");
    dbe::Database db = dbe::OpenDatabase(emoticon);
    dbe::Recordset rs = db.OpenRecordset("data", dbe::dbOpenTable);
    int n = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++n) {
        const char32_t punto = char32_t(rs.Value("key").toLongLong());
        EXPECT_EQ(rs.Value("data").toString(),
                  QStringLiteral("a") + QString::fromUcs4(&punto, 1) + QStringLiteral("a"));
    }
    EXPECT_GT(n, 0);
    rs.Close();
    db.Close();
}

// complexDataTestV2007's Table1, whose records have attachments, several values in one field and
// an append-only memo: each comes in as what Access shows of it.
TEST_F(ImportAccess, ComplexFieldsComeInAsChildTablesWithTheirValuesAndFiles)
{
    const QString dest = importa(CartellaCampioniAccess() + "/complexDataTestV2007.accdb", "complessi.db");
    const auto elenco = [&](const QString& sql) {
        return sqliteValue(dest, "SELECT group_concat(v, '|') FROM (" + sql + ")").toString();
    };
    // The append-only memo is its current text; its history is no field of the table.
    EXPECT_EQ(elenco("SELECT [append-memo-data] AS v FROM Table1 ORDER BY id"), "row2-memo|row3-memo-again|row4-memo");
    EXPECT_EQ(sqliteValue(dest, "SELECT count(*) FROM pragma_table_info('Table1') WHERE name LIKE 'VersionHistory%'"),
              QVariant(0));
    // Each record's values through the number its field holds.
    const QString valori = "SELECT t.id || ':' || v.Value AS v FROM Table1 t JOIN [Table1_multi-value-data] v "
                           "ON v.[multi-value-data] = t.[multi-value-data] ORDER BY t.id, v.Value";
    EXPECT_EQ(elenco(valori), "row2:value1|row2:value4|row3:value1|row3:value2|row3:value3|row3:value4");
    // Each attachment with its name, type and the file's bytes exactly (the sample's texts).
    const QString allegati = "SELECT t.id || ':' || a.FileName || ':' || a.FileType || ':' || hex(a.FileData) AS v "
                             "FROM Table1 t JOIN [Table1_attach-data] a ON a.[attach-data] = t.[attach-data] "
                             "ORDER BY t.id, a.FileName";
    const QString primo = QByteArray("this is some test data for attachment.").toHex().toUpper();
    const QString secondo = QByteArray("this is some more test data for attachment.").toHex().toUpper();
    EXPECT_EQ(elenco(allegati), "row2:test_data.txt:txt:" + primo + "|row2:test_data2.txt:txt:" + secondo
                                    + "|row4:test_data2.txt:txt:" + secondo);
    EXPECT_EQ(sqliteValue(dest, "SELECT typeof(FileData) FROM [Table1_attach-data] LIMIT 1"), QVariant("blob"));
}

// An attachment's file of every size, with Access's header and either stored as it is or
// deflate-compressed, comes back byte for byte; the same bytes cut short or spoiled are refused.
TEST(AllegatoAccess, EveryFileComesBackExactlyAndDamageIsRefused)
{
    QRandomGenerator caso(20261206);
    for (int k = 0; k < 60; ++k) {
        const int dimensione = k < 4 ? k : int(caso.bounded(k < 40 ? 5000 : 300000));
        QByteArray file(dimensione, '\0');
        const bool ripetitivo = k % 3 == 0;  // text-like bytes that deflate shrinks
        for (char& b : file)
            b = char(ripetitivo ? 'a' + caso.bounded(4) : caso.bounded(256));
        const QString estensione = QStringList{"txt", "pdf", "jpeg", ""}.at(k % 4);
        QByteArray intestazione(8, '\0');
        const QByteArray nome =
            QByteArray(reinterpret_cast<const char*>(estensione.utf16()), estensione.size() * 2) + QByteArray(2, '\0');
        QByteArray lunghezzaNome(4, '\0');
        qToLittleEndian<quint32>(quint32(estensione.size() + 1), lunghezzaNome.data());
        const QByteArray contenuto = lunghezzaNome + nome + file;
        qToLittleEndian<quint32>(quint32(8 + lunghezzaNome.size() + nome.size()), intestazione.data());
        qToLittleEndian<quint32>(1, intestazione.data() + 4);
        const QByteArray interno = intestazione + contenuto;
        const bool compresso = k % 2 == 0;
        QByteArray memorizzato(8, '\0');
        qToLittleEndian<quint32>(compresso ? 1 : 0, memorizzato.data());
        qToLittleEndian<quint32>(quint32(interno.size()), memorizzato.data() + 4);
        memorizzato += compresso ? qCompress(interno).mid(4) : interno;  // a zlib stream without Qt's length

        SCOPED_TRACE(QStringLiteral("caso %1: %2 byte, %3")
                         .arg(k)
                         .arg(dimensione)
                         .arg(compresso ? "compresso" : "com'è")
                         .toStdString());
        bool ok = false;
        EXPECT_EQ(access::ContenutoAllegato(memorizzato, &ok), file);
        EXPECT_TRUE(ok);
        QByteArray tagliato = memorizzato;
        tagliato.chop(1 + int(caso.bounded(quint32(memorizzato.size() - 8))));
        access::ContenutoAllegato(tagliato, &ok);
        EXPECT_FALSE(ok);
        QByteArray guasto = memorizzato;
        guasto[int(caso.bounded(8))] ^= char(1 + caso.bounded(255));  // the kind or the length spoiled
        access::ContenutoAllegato(guasto, &ok);
        EXPECT_FALSE(ok);
    }
}

// Currency over its whole range: Northwind's freights replaced in the file by seeded counts of
// ten-thousandths (large ones with four decimals, whole ones, negative ones, the extremes) come in
// exactly, whatever form the archive keeps each in, and the engine reads each as its number.
TEST_F(ImportAccess, CurrencyComesInExactlyOverItsWholeRange)
{
    const QString nwind = CartellaCampioniAccess() + "/nwind.mdb";
    QByteArray byte = fileBytes(nwind);
    const auto conteggio = [](qint64 v) {
        QByteArray b(8, '\0');
        qToLittleEndian<qint64>(v, b.data());
        return b;
    };
    QRandomGenerator caso(20261206);
    QMap<qint64, qint64> attesi;  // OrderID -> ten-thousandths
    for (const QStringList& r : MdbEsporta(nwind, "Orders")) {
        if (attesi.size() == 24)
            break;
        // The freight's bytes where they follow the order's number in a record (36 bytes on, in
        // Northwind's Orders; the file holds each record's page twice).
        const qint64 vecchio = std::llround(r.value(7).toDouble() * 10000);
        const QByteArray prima = conteggio(vecchio);
        QByteArray numero(4, '\0');
        qToLittleEndian<qint32>(r.value(0).toInt(), numero.data());
        QVector<qsizetype> posti;
        for (qsizetype i = byte.indexOf(prima); i >= 36; i = byte.indexOf(prima, i + 1))
            if (byte.mid(i - 36, 4) == numero)
                posti << i;
        if (posti.isEmpty())
            continue;
        const int k = int(attesi.size());
        qint64 nuovo = qint64(caso.generate64() >> (k % 4 == 0 ? 1 : 10));  // up to 9.2e14 or 9e11 currency
        if (k % 3 == 1)
            nuovo = -nuovo;
        if (k % 5 == 2)
            nuovo -= nuovo % 10000;  // whole
        if (k == 6)
            nuovo = std::numeric_limits<qint64>::max();
        if (k == 7)
            nuovo = std::numeric_limits<qint64>::min() + 1;
        if (k == 8)
            nuovo = 9000000000001234;  // 900,000,000,000.1234
        for (const qsizetype i : posti)
            byte.replace(i, 8, conteggio(nuovo));
        attesi.insert(r.value(0).toLongLong(), nuovo);
    }
    ASSERT_EQ(attesi.size(), 24);
    ASSERT_EQ(MdbEsporta(nwind, "Orders").first().size(), 14);
    const QString sorgente = dir.filePath("valuta.mdb");
    writeFile(sorgente, byte);
    const QString dest = importa(sorgente, "valuta.db");

    dbe::Database db = dbe::OpenDatabase(dest);
    for (auto it = attesi.cbegin(); it != attesi.cend(); ++it) {
        SCOPED_TRACE(QStringLiteral("ordine %1: %2").arg(it.key()).arg(it.value()).toStdString());
        const QString sql = QStringLiteral("SELECT %2 FROM Orders WHERE OrderID = %1").arg(it.key());
        const QVariant v = sqliteValue(dest, sql.arg("Freight"));
        // The stored value read to ten-thousandths without a real where a real cannot hold it.
        qint64 letto = 0;
        if (v.typeId() == QMetaType::LongLong) {
            letto = v.toLongLong() * 10000;
        } else if (v.typeId() == QMetaType::Double) {
            letto = std::llround(v.toDouble() * 10000);
        } else {
            const QStringList parti = v.toString().split(',');
            ASSERT_EQ(parti.size(), 2) << v.toString().toStdString();
            ASSERT_EQ(parti[1].size(), 4);
            const qint64 intera = parti[0].toLongLong();
            letto = intera * 10000 + (parti[0].startsWith('-') ? -1 : 1) * parti[1].toLongLong();
        }
        EXPECT_EQ(letto, it.value()) << v.toString().toStdString();
        dbe::Recordset rs = db.OpenRecordset(sql.arg("Freight"));
        EXPECT_NEAR(rs.Value(0).toDouble(), double(it.value()) / 10000, std::fabs(double(it.value())) * 1e-15);
        rs.Close();
    }
    db.Close();
}
