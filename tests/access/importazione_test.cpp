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
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

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
    case dbe::dbBinary: case dbe::dbLongBinary: return QString::fromLatin1(v.toByteArray().toHex()).toUpper();
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
    // The columns of mdb-export's records that the import carries: the complex fields of ACE
    // (attachments, multi-value, version history), which mdbtools cannot read either, stay out.
    QVector<int> colonne;
    for (int i = 0; i < campi.size(); ++i)
        if (!campi[i].second.startsWith(QLatin1String("Unknown_")))
            colonne << i;
    ASSERT_EQ(t.Fields().Count(), colonne.size());
    for (int i = 0; i < colonne.size(); ++i) {
        const dbe::Field f = t.Fields().Item(i);
        EXPECT_EQ(f.Name(), campi[colonne[i]].first);
        // A yes/no field is never Null: mdb-schema says NOT NULL whatever its Required says.
        const bool nonNull = f.Required() || f.Type() == dbe::dbBoolean;
        EXPECT_EQ(tipoMdb(f) + (nonNull ? " NOT NULL" : ""), campi[colonne[i]].second);
    }
    // An index whose fields libmdb cannot find is left out of the import (and reported).
    QStringList indici = MdbIndici(file, nome);
    indici.erase(std::remove_if(indici.begin(), indici.end(), [](const QString& i) { return i.endsWith(' '); }),
                 indici.end());
    // Access's hidden indexes on the complex fields stay out with their fields.
    for (int i = 0; i < campi.size(); ++i)
        if (!colonne.contains(i))
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
                << attesi[r][colonne[c]].left(80).toStdString() << ", importato " << comeMdb(rs.Value(c), rs.FieldType(c)).left(80).toStdString();
    }
    EXPECT_EQ(r, attesi.size());
    rs.Close();
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
                EXPECT_EQ(sqliteValue(d, QStringLiteral("SELECT count(*) FROM [%1] WHERE [%2] IS NULL").arg(t.Name(), f.Name())),
                          QVariant(nulli)) << file.toStdString() << " " << t.Name().toStdString() << "." << f.Name().toStdString();
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
        EXPECT_EQ(rs.Value("data").toString(), QStringLiteral("a") + QString::fromUcs4(&punto, 1) + QStringLiteral("a"));
    }
    EXPECT_GT(n, 0);
    rs.Close();
    db.Close();
}
