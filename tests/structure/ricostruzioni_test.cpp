// Field rebuilds on the data real archives hold: empty texts, names that are words of the query
// dialect or carry spaces, apostrophes and accents, every type change with awkward values, and
// what the operator is told when a row fails or the archive is lost between two rows.
#include "support/coppia_prova.h"
#include "support/sessione_prova.h"
#include "checks/ciclo_controllo.h"
#include "core/manutenzione.h"
#include "maintenance/vista_lista.h"
#include "structure/correzioni_struttura.h"
#include "structure/modifica_campo.h"
#include "structure/motivo_errore.h"
#include "support/sqlite_file.h"
#include "support/stampa_qt.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTreeWidget>
#include <charconv>
#include <gtest/gtest.h>

using namespace corvale;

namespace {

const QString kOk = QStringLiteral("OK");

QStringList stati(const QStringList& righe)
{
    QStringList s;
    for (const QString& r : righe)
        s << r.section(QLatin1Char('|'), 1, 1);
    return s;
}

// The shortest figures that read back as d (as a float when single).
std::string cifre(double d, bool single)
{
    char b[64];
    const auto r = single ? std::to_chars(b, b + 64, float(d)) : std::to_chars(b, b + 64, d);
    return std::string(b, r.ptr);
}

bool testuale(short t) { return t == dbe::dbText || t == dbe::dbMemo; }

// Whether v (the new field's value, of type t) still shows what old (of type s) showed: a text is
// read by the engine's rule, anything else must come back unchanged when the new value is read as
// the old type again.
bool conservato(const QVariant& old, short s, const QVariant& v, short t)
{
    if (old.isNull())
        return v.isNull();
    if (s == dbe::dbLongBinary)
        return testuale(t) && v.toString().toUtf8() == old.toByteArray();
    if (testuale(s)) {
        const QString testo = old.toString();
        if (testuale(t))
            return v.toString() == testo;
        if (t == dbe::dbDate)
            return v.toDateTime() == dbe::ConvertValue(testo, dbe::dbDate).toDateTime();
        const double d = dbe::ConvertValue(testo, dbe::dbDouble).toDouble();
        if (t == dbe::dbBoolean)
            return (v.toBool() ? -1.0 : 0.0) == d;
        return t == dbe::dbSingle ? cifre(v.toDouble(), true) == cifre(d, false) : v.toDouble() == d;
    }
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QDateTime && s != dbe::dbDate) {  // a number became its day
        const QDateTime dt = v.toDateTime();
        const double giorno = QDate(1899, 12, 30).daysTo(dt.date()) + dt.time().msecsSinceStartOfDay() / 86400000.0;
        return giorno == dbe::ConvertValue(old, dbe::dbDouble).toDouble();
    }
    const QVariant indietro = dbe::ConvertValue(v, s);
    switch (s) {
    case dbe::dbDate: return indietro.toDateTime() == old.toDateTime();
    case dbe::dbBoolean: return indietro.toBool() == old.toBool();
    case dbe::dbSingle: return float(indietro.toDouble()) == float(old.toDouble());
    default: return indietro.toDouble() == old.toDouble();
    }
}

struct Caso {
    short tipo;
    QVariantList valori;
    QList<short> riescono;  // the new types every value of the case must reach
};

const QDateTime kData(QDate(2024, 1, 2), QTime(10, 30));

// The empty text and blank texts of every length up to eight (seeded), with a Null among them.
QVariantList vuoti()
{
    QRandomGenerator caso(28);
    QVariantList v{QString(""), QVariant()};
    for (int i = 0; i < 6; ++i)
        v << QString(int(caso.bounded(1, 9)), QLatin1Char(' '));
    return v;
}

QList<Caso> casi()
{
    using namespace dbe;
    const QVariant null;
    return {
        {dbBoolean, {true, false, null}, {dbInteger, dbLong, dbCurrency, dbSingle, dbDouble, dbDate, dbText, dbMemo}},
        {dbByte, {0, 255, null}, {dbInteger, dbLong, dbCurrency, dbSingle, dbDouble, dbDate, dbText, dbMemo}},
        {dbInteger, {-32768, 32767, 0, null}, {dbLong, dbCurrency, dbSingle, dbDouble, dbDate, dbText, dbMemo}},
        {dbLong, {qint64(-2147483647) - 1, 2147483647, 0, null}, {dbCurrency, dbDouble, dbText, dbMemo}},
        {dbCurrency, {12.3456, -0.0001, 1000000, null}, {dbSingle, dbDouble, dbText, dbMemo}},
        {dbSingle, {0.1, -3.4e38, 1.5e-7, 16777216, null}, {dbDouble, dbText, dbMemo}},
        {dbDouble, {0.1, 2.5, -1.79e308, 5e-324, 45293.4375, null}, {dbText, dbMemo}},
        {dbDate,
         {kData, QDateTime(QDate(2024, 1, 2), QTime(0, 0)), QDateTime(QDate(1899, 12, 30), QTime(6, 0)),
          QDateTime(QDate(100, 1, 1), QTime(0, 0)), null},
         {dbCurrency, dbDouble, dbText, dbMemo}},  // a single would show 45293,438
        {dbText,
         {null, QStringLiteral("2,25"), QStringLiteral("0012"), QStringLiteral("-7")},
         {dbCurrency, dbSingle, dbDouble, dbMemo}},
        {dbText, {QStringLiteral("31/12/2024"), QStringLiteral("2024-01-02 10:30:00"), null}, {dbDate, dbMemo}},
        // An empty or blank text is no number, no date, no Yes/No: refused for all of them.
        {dbText, vuoti(), {dbMemo}},
        {dbMemo, {QString(), QStringLiteral("x"), null, QString(255, QLatin1Char('m'))}, {dbText}},
        // Bytes become a text only when they are one, every byte kept.
        {dbLongBinary, {QByteArray("caff\xc3\xa8 \x01", 8), QByteArray(""), null}, {dbText, dbMemo}},
        {dbLongBinary, {QByteArray("ok"), QByteArray("\x00\xff\x10", 3), null}, {}},
    };
}

}  // namespace

TEST(RicostruzioneTest, EmptyTextsAndAwkwardNamesAreRebuiltByEveryCorrection)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE [Order] ([Group] TEXT(20), [Desc] MEMO, [Città] TEXT(30), "
                             "[Ragione sociale] TEXT(40), [Date] DATETIME, [Note] TEXT(50), [Values] LONG, "
                             "[L'indirizzo] TEXT(60))"),
              QStringLiteral("CREATE INDEX [By] ON [Order] ([Group], [Città])")});
    // The master's memo is a hyperlink, as a supplier's web site is.
    testsupport::sqliteExec(c.percorsoMaster(),
                            "INSERT OR REPLACE INTO MSysFields VALUES ('Order', 'Desc', 32770, 1, 0)");
    const QStringList campi = {QStringLiteral("Group"),           QStringLiteral("Desc"), QStringLiteral("Città"),
                               QStringLiteral("Ragione sociale"), QStringLiteral("Date"), QStringLiteral("Note"),
                               QStringLiteral("L'indirizzo")};
    c.archivio({QStringLiteral("CREATE TABLE [Order] ([Group] TEXT(10), [Desc] MEMO, [Città] TEXT(20), "
                               "[Ragione sociale] TEXT(10), [Date] TEXT(20), [Note] MEMO, [L'indirizzo] TEXT(60))"),
                QStringLiteral("CREATE INDEX [Set] ON [Order] ([Group])")});
    prova::PermettiVuoto(c.percorsoArchivio(), QStringLiteral("Order"), campi);
    c.archivio({QStringLiteral("INSERT INTO [Order] VALUES ('', '', 'Forlì', '', '', '', '')"),
                QStringLiteral("INSERT INTO [Order] VALUES ('A', 'http://x.it', '', 'Rossi & C.', '02/01/2024', "
                               "'nota', 'Via dell''Orso')"),
                QStringLiteral("INSERT INTO [Order] ([Group]) VALUES (NULL)")});
    c.apri();

    Manutenzione m{SessioneProva()};
    prova::Prepara(m);
    // The first round changes every field but the date: an empty text is no date, so that row is
    // refused naming the value, the field and the record; the memo turned text needs its length in
    // a second round. With the empty date made Null by the operator, the date goes too.
    const QStringList primo = prova::Correggi(m, QStringLiteral("Order"));
    ASSERT_EQ(primo.size(), 8) << primo.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(stati(primo).count(kOk), 7) << primo.join(QLatin1Char('\n')).toStdString();
    const QString data = primo.filter(QStringLiteral(" Date")).value(0);
    EXPECT_TRUE(data.contains(QStringLiteral("Errore 3464")) && data.contains(QStringLiteral("''"))
                && data.contains(QStringLiteral("Date")) && data.contains(QStringLiteral(" della tabella Order")))
        << data.toStdString();
    c.archivio({QStringLiteral("UPDATE [Order] SET [Date] = NULL WHERE [Date] = ''")});
    SessioneProva().DbArchivi.TableDefs().Refresh();
    const QStringList secondo = prova::Correggi(m, QStringLiteral("Order"));
    EXPECT_EQ(stati(secondo), QStringList(2, kOk)) << secondo.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(secondo.contains(QStringLiteral("Correzione Lunghezza Campo Note a 50|OK|")));
    EXPECT_TRUE(prova::Correggi(m, QStringLiteral("Order")).isEmpty());
    EXPECT_EQ(m.Task(prova::RigaStruttura(m, QStringLiteral("Order"))).Stato, kStatoOk);

    const QVariant null;
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Group")), (QVariantList{QString(""), "A", null}));
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Desc")),
              (QVariantList{QString(""), "http://x.it", null}));
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Città")),
              (QVariantList{"Forlì", QString(""), null}));
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Ragione sociale")),
              (QVariantList{QString(""), "Rossi & C.", null}));
    // The empty date the operator made Null.
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Date")),
              (QVariantList{null, QDateTime(QDate(2024, 1, 2), QTime(0, 0)), null}));
    EXPECT_EQ(prova::Valori(QStringLiteral("Order"), QStringLiteral("Note")),
              (QVariantList{QString(""), "nota", null}));
    const dbe::TableDef t = SessioneProva().DbArchivi.TableDefs().Item(QStringLiteral("Order"));
    for (const char* nome : {"Group", "Desc", "Città", "Ragione sociale", "Note"})
        EXPECT_TRUE(t.Fields().Item(QString::fromUtf8(nome)).AllowZeroLength()) << nome;
    EXPECT_EQ(t.Fields().Item(QStringLiteral("Desc")).Attributes(), 32770);
    EXPECT_EQ(t.Fields().Item(QStringLiteral("Note")).Size(), 50);
    EXPECT_EQ(t.Indexes().Item(QStringLiteral("Set")).Fields().Item(0).Name(), QStringLiteral("Group"));
    EXPECT_EQ(t.Indexes().Item(QStringLiteral("By")).Fields().Count(), 2);

    // A name written elsewhere with a closing bracket cannot go into a statement: refused, with the
    // reason, and nothing changes.
    testsupport::sqliteExec(c.percorsoMaster(), "ALTER TABLE \"Order\" ADD COLUMN \"Cod]x\" TEXT(9)");
    testsupport::sqliteExec(c.percorsoArchivio(), "ALTER TABLE \"Order\" ADD COLUMN \"Cod]x\" TEXT(5)");
    SessioneProva().DbArchivi.TableDefs().Refresh();
    const QString prima = prova::Dump(c.percorsoArchivio());
    const QStringList rifiuto = prova::Correggi(m, QStringLiteral("Order"));
    ASSERT_EQ(rifiuto.size(), 1);
    EXPECT_TRUE(rifiuto[0].startsWith(QStringLiteral("Correzione Lunghezza Campo Cod]x a 9|Non e' stato possibile "
                                                     "correggere|Errore 3125: 'Cod]x' non è un nome valido.")))
        << rifiuto[0].toStdString();
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
}

TEST(RicostruzioneTest, EveryTypeChangeKeepsEachValueOrRefusesTheWholeField)
{
    prova::Coppia c;
    c.apri();
    const QList<short> tipi = {dbe::dbBoolean, dbe::dbByte,   dbe::dbInteger, dbe::dbLong, dbe::dbCurrency,
                               dbe::dbSingle,  dbe::dbDouble, dbe::dbDate,    dbe::dbText, dbe::dbMemo};
    const QList<Caso> tutti = casi();
    for (int k = 0; k < tutti.size(); ++k) {
        const Caso& caso = tutti[k];
        // One table per case, one column per new type, each holding the case's values.
        const QString tabella = QStringLiteral("T%1").arg(k);
        dbe::TableDef td = SessioneProva().DbArchivi.CreateTableDef(tabella);
        for (short t : tipi) {
            dbe::Field f = td.CreateField(QStringLiteral("V%1").arg(t), caso.tipo, caso.tipo == dbe::dbText ? 255 : 0);
            if (testuale(caso.tipo))
                f.SetAllowZeroLength(true);
            td.Fields().Append(f);
        }
        SessioneProva().DbArchivi.TableDefs().Append(td);
        dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(tabella);
        for (const QVariant& v : caso.valori) {
            rs.AddNew();
            for (short t : tipi)
                rs.SetValue(QStringLiteral("V%1").arg(t), v);
            rs.Update();
        }
        rs.Close();

        for (short t : tipi) {
            if (t == caso.tipo)
                continue;
            const QString campo = QStringLiteral("V%1").arg(t);
            const std::string nome = QStringLiteral("%1 -> %2 (%3)").arg(caso.tipo).arg(t).arg(tabella).toStdString();
            const QVariantList prima = prova::Valori(tabella, campo);
            const QString file = prova::Dump(c.percorsoArchivio());
            const EsitoCorrezione esito = ModificaTipoCampo(SessioneProva(), tabella, campo, t);
            if (!esito) {
                EXPECT_FALSE(caso.riescono.contains(t)) << nome << ": " << esito.motivo.testo().toStdString();
                // The refusal names the record whose value it could not keep.
                EXPECT_TRUE(esito.motivo.testo().contains(QStringLiteral(" della tabella %1").arg(tabella)))
                    << nome << ": " << esito.motivo.testo().toStdString();
                EXPECT_EQ(prova::Dump(c.percorsoArchivio()), file) << nome;
                continue;
            }
            EXPECT_TRUE(caso.riescono.contains(t)) << nome << " should have been refused";
            EXPECT_EQ(SessioneProva().DbArchivi.TableDefs().Item(tabella).Fields().Item(campo).Type(), t) << nome;
            const QVariantList dopo = prova::Valori(tabella, campo);
            ASSERT_EQ(dopo.size(), prima.size()) << nome;
            for (int i = 0; i < prima.size(); ++i)
                EXPECT_TRUE(conservato(prima[i], caso.tipo, dopo[i], t))
                    << nome << ": " << prima[i].toString().toStdString() << " became "
                    << dopo[i].toString().toStdString();
        }
    }
    // The values an operator reads, as the archive shows them.
    const auto valori = [](int k, short t) {
        return prova::Valori(QStringLiteral("T%1").arg(k), QStringLiteral("V%1").arg(t));
    };
    EXPECT_EQ(valori(5, dbe::dbText).value(0), QVariant(QStringLiteral("0,1")));
    EXPECT_EQ(valori(5, dbe::dbText).value(2), QVariant(QStringLiteral("1,5E-07")));
    EXPECT_EQ(valori(6, dbe::dbText).value(2), QVariant(QStringLiteral("-1,79E+308")));
    EXPECT_EQ(valori(7, dbe::dbDouble).value(0).toDouble(), 45293.4375);
    EXPECT_EQ(valori(7, dbe::dbDouble).value(2).toDouble(), 0.25);
    EXPECT_EQ(valori(7, dbe::dbText).value(0), QVariant(QStringLiteral("02/01/2024 10:30:00")));
    EXPECT_EQ(valori(7, dbe::dbText).value(1), QVariant(QStringLiteral("02/01/2024")));
    EXPECT_EQ(valori(8, dbe::dbDouble), (QVariantList{QVariant(), 2.25, 12.0, -7.0}));
    EXPECT_EQ(valori(8, dbe::dbLong).value(1), QVariant(QStringLiteral("2,25")));  // refused: left as text
    EXPECT_EQ(valori(10, dbe::dbDouble), vuoti());  // refused: every blank left as it was
}

TEST(RicostruzioneTest, AFailedRowSaysWhyAndAnArchiveLostBetweenRowsEndsTheRun)
{
    prova::Coppia c;
    c.master({QStringLiteral("CREATE TABLE T (B LONG, A TEXT(3), C TEXT(20))")});
    c.archivio({QStringLiteral("CREATE TABLE T (A TEXT(10), B TEXT(10), C TEXT(10))"),
                QStringLiteral("INSERT INTO T (A, B, C) VALUES ('ABCDEFG', '2,25', 'x')")});
    c.apri();
    OperatoreDiProva().ImpostaRisponditore([](const QString&, Pulsanti) { return Risposta::Ok; });
    Manutenzione m{SessioneProva()};
    prova::Prepara(m);
    QTreeWidget albero;
    VistaLista vista(m.LstStruct, &albero);

    const QStringList righe = prova::Correggi(m, QStringLiteral("T"));
    ASSERT_EQ(righe.size(), 3);
    EXPECT_TRUE(righe[0].contains(QStringLiteral("Errore 3464: ")) && righe[0].contains(QStringLiteral("'2,25'")))
        << righe[0].toStdString();
    EXPECT_TRUE(righe[1].startsWith(QStringLiteral("Correzione Lunghezza Campo A a 3|Non e' stato possibile "
                                                   "correggere|Errore 3163: Il campo è troppo piccolo")))
        << righe[1].toStdString();
    EXPECT_EQ(righe[2], QStringLiteral("Correzione Lunghezza Campo C a 20|OK|"));
    // The window keeps the state text and shows the reason on the row.
    EXPECT_EQ(albero.topLevelItem(0)->text(1), QStringLiteral("Non e' stato possibile correggere"));
    EXPECT_TRUE(albero.topLevelItem(0)->toolTip(0).endsWith(m.LstStruct.Riga(0).Nota));
    EXPECT_EQ(albero.topLevelItem(2)->toolTip(0), albero.topLevelItem(2)->text(0));

    // The file made read-only during the run: the first row (the type change, on the open archive)
    // is applied, the archive cannot be opened again, the run ends there with a message and the program goes on.
    OperatoreDiProva().Azzera();
    QStringList mostrati;
    OperatoreDiProva().ImpostaRisponditore([&mostrati](const QString& t, Pulsanti) {
        mostrati << t;
        return Risposta::Ok;
    });
    c.archivio({QStringLiteral("UPDATE T SET A='ABC', B='7'")});
    SessioneProva().DbArchivi.TableDefs().Refresh();
    const int li = prova::RigaStruttura(m, QStringLiteral("T"));
    ControlloItem(m, li);
    AttivaCorrezioneStruttura(m);
    ASSERT_EQ(m.LstStruct.Conta(), 2);
    const QFile::Permissions permessi = QFile::permissions(c.percorsoArchivio());
    QFile::setPermissions(c.percorsoArchivio(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    GestisciCorrezioneStruttura(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
    QFile::setPermissions(c.percorsoArchivio(), permessi);
    EXPECT_EQ(m.LstStruct.Riga(0).TestoStato, kOk);
    EXPECT_EQ(m.LstStruct.Riga(1).TestoStato, QStringLiteral("Non eseguita"));
    ASSERT_EQ(mostrati.size(), 1);
    EXPECT_TRUE(mostrati[0].startsWith(QStringLiteral("Impossibile riaprire il database"))
                && mostrati[0].contains(u'\r'))
        << mostrati[0].toStdString();
    EXPECT_FALSE(SessioneProva().DbArchivi.IsOpen());
    // Checking or correcting again with the archive closed says so and changes nothing.
    ControlloItem(m, li);
    EXPECT_EQ(m.Task(li).Stato, kStatoPrb);
    GestisciCorrezioneStruttura(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
    EXPECT_EQ(mostrati.size(), 2);
    OperatoreDiProva().Azzera();
    EXPECT_EQ(testsupport::sqliteValue(c.percorsoArchivio(), "SELECT B FROM T").toLongLong(), 7);
}

// The rebuilt column's temporary name never meets a column already there (an earlier failed
// rebuild leaves NAME_NEW behind) and never passes the 64-character limit: field names of seeded
// lengths up to 64, some with leftovers named as the temporary column would be.
TEST(RicostruzioneTest, TheTemporaryColumnNeverClashesNorPassesTheNameLimit)
{
    prova::Coppia c;
    c.apri();
    QRandomGenerator caso(64);
    for (int k = 0; k < 8; ++k) {
        const int lunghezza = k < 2 ? 64 - k : int(caso.bounded(1, 65));
        QString nome;
        for (int i = 0; i < lunghezza; ++i)
            nome += QChar(u'A' + int(caso.bounded(26)));
        const QString tabella = QStringLiteral("T%1").arg(k);
        QStringList avanzi;
        for (const QString& coda : {QStringLiteral("_NEW"), QStringLiteral("_NEW2")})
            if (k % 2 == 0 || coda == QStringLiteral("_NEW"))
                avanzi << nome.left(64 - int(coda.size())) + coda;
        QString sql = QStringLiteral("CREATE TABLE %1 ([%2] TEXT(10)").arg(tabella, nome);
        for (const QString& a : avanzi)
            sql += QStringLiteral(", [%1] TEXT(10)").arg(a);
        c.archivio({sql + ")", QStringLiteral("INSERT INTO %1 ([%2]) VALUES ('12')").arg(tabella, nome)});
        SessioneProva().DbArchivi.TableDefs().Refresh();
        const std::string n = nome.toStdString();
        const EsitoCorrezione esito = ModificaTipoCampo(SessioneProva(), tabella, nome, dbe::dbLong);
        ASSERT_TRUE(esito) << n << ": " << esito.motivo.testo().toStdString();
        const dbe::TableDef td = SessioneProva().DbArchivi.TableDefs().Item(tabella);
        EXPECT_EQ(td.Fields().Item(nome).Type(), dbe::dbLong) << n;
        EXPECT_EQ(td.Fields().Count(), 1 + avanzi.size()) << n;
        for (const QString& a : avanzi)
            EXPECT_EQ(td.Fields().Item(a).Type(), dbe::dbText) << n;
        EXPECT_EQ(prova::Valori(tabella, nome), QVariantList{12}) << n;
    }
}

// The master's attribute flags in seeded forms on a field of every type: a row says OK only when
// the field reads back with the master's flags; one the engine cannot give says which flag, changes
// nothing, and on every later round is reported again with its reason instead of being run.
TEST(RicostruzioneTest, AnAttributeRowIsOkOnlyWhenTheMasterFlagsReadBack)
{
    // Each type with the width its fields usually have (text and binaries variable).
    const QList<QPair<QString, qint32>> tipi = {{"BIT", 1},      {"BYTE", 1},   {"SHORT", 1},      {"LONG", 1},
                                                {"CURRENCY", 1}, {"SINGLE", 1}, {"DOUBLE", 1},     {"DATETIME", 1},
                                                {"TEXT(10)", 2}, {"MEMO", 2},   {"BINARY(10)", 2}, {"LONGBINARY", 2}};
    const qint32 flag[] = {dbe::dbAutoIncrField, dbe::dbUpdatableField, dbe::dbSystemField, dbe::dbHyperlinkField, 4};
    QRandomGenerator caso(28);
    QStringList campi;
    QList<qint32> voluti;
    for (int k = 0; k < tipi.size() + 4; ++k) {
        const auto& [tipo, larghezza] = tipi[k % tipi.size()];
        campi << QStringLiteral("F%1 %2").arg(k).arg(tipo);
        // Now and again the other width, another flag, rarely a flag the format does not know.
        qint32 a = caso.bounded(6) == 0 ? 3 - larghezza : larghezza;
        for (qint32 f : flag)
            if (caso.bounded(f == 4 ? 16 : 5) == 0)
                a |= f;
        voluti << a;
    }
    prova::Coppia c;
    c.entrambi({QStringLiteral("CREATE TABLE A (%1)").arg(campi.join(QStringLiteral(", "))),
                QStringLiteral("INSERT INTO A (F3, F8) VALUES (7, 'x')")});
    for (int k = 0; k < voluti.size(); ++k)
        testsupport::sqliteExec(c.percorsoMaster(), QStringLiteral("INSERT OR REPLACE INTO MSysFields VALUES "
                                                                   "('A', 'F%1', %2, 0, 0)")
                                                        .arg(k)
                                                        .arg(voluti[k]));
    c.apri();
    Manutenzione m{SessioneProva()};
    prova::Prepara(m);
    const auto attributi = [](int k) {
        return SessioneProva()
            .DbArchivi.TableDefs()
            .Item(QStringLiteral("A"))
            .Fields()
            .Item(QStringLiteral("F%1").arg(k))
            .Attributes();
    };

    QSet<int> fatti, nonApplicabili;
    QStringList righe;
    QString prima;
    for (bool corretti = true; corretti;) {
        corretti = false;
        prima = prova::Dump(c.percorsoArchivio());
        righe = prova::Correggi(m, QStringLiteral("A"));
        for (const QString& r : righe) {
            const int k = r.section(QLatin1Char(' '), 3, 3).mid(1).toInt();
            const QString stato = r.section(QLatin1Char('|'), 1, 1);
            if (stato == kOk) {
                fatti << k;
                corretti = true;
                EXPECT_EQ(attributi(k), voluti[k]) << r.toStdString();
                continue;
            }
            nonApplicabili << k;
            EXPECT_EQ(stato, QStringLiteral("Non applicabile")) << r.toStdString();
            EXPECT_TRUE(r.contains(QStringLiteral("Il campo F%1 ").arg(k))
                        && r.contains(QStringLiteral("l'attributo «")))
                << r.toStdString();
            EXPECT_NE(attributi(k), voluti[k]) << r.toStdString();
        }
    }
    // Rows that cannot be applied never hold back the others: every field ends with the master's
    // flags or is reported; the last round runs nothing and leaves the archive as it was.
    for (int k = 0; k < voluti.size(); ++k)
        EXPECT_TRUE(attributi(k) == voluti[k] || nonApplicabili.contains(k)) << k;
    EXPECT_EQ(stati(righe), QStringList(int(nonApplicabili.size()), QStringLiteral("Non applicabile")))
        << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(prova::Dump(c.percorsoArchivio()), prima);
    EXPECT_FALSE(fatti.isEmpty()) << righe.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(nonApplicabili.isEmpty());
    EXPECT_TRUE(fatti.intersect(nonApplicabili).isEmpty());
    EXPECT_EQ(prova::Valori(QStringLiteral("A"), QStringLiteral("F3")), QVariantList{7});
    EXPECT_EQ(prova::Valori(QStringLiteral("A"), QStringLiteral("F8")), QVariantList{"x"});
}
