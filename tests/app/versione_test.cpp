// The version stamp: the operator's entry rules, the ordinal comparison and the gate's warnings,
// then reading and writing the stamp on real archives.
#include "ambiente_prova.h"
#include "app/versione.h"

using namespace corvale;

namespace {
const QString kPiuNuovo = QStringLiteral(
    "Attenzione !!! Prima di eseguire qualsiasi modifica è strettamante consigliato di eseguire "
    "Lumera almeno una volta in modo da allineare la versione del DB.");
const QString kObsoleto = QStringLiteral(
    "Attenzione !!! La versione del Db Master è obsoleta. Contattare la Ombrisa e richiedere una "
    "versione aggiornata.");
}  // namespace

TEST(Versione, VociDellOperatore)
{
    struct Caso { const char* voce; EsitoVoce esito; const char* valore; };
    const Caso casi[] = {
        {"", EsitoVoce::Vuota, ""},
        {"a.5", EsitoVoce::Valida, "A.5  "},
        {"A.05", EsitoVoce::Valida, "A.05 "},
        {"A.123456", EsitoVoce::Valida, "A.123"},
        {"A.-1", EsitoVoce::Valida, "A.-1 "},
        {"a.1,5", EsitoVoce::Valida, "A.1,5"},
        {"A.1E2", EsitoVoce::Valida, "A.1E2"},
        {"A.&HF", EsitoVoce::Valida, "A.&HF"},
        {"0", EsitoVoce::Valida, ""},        // the digit zero clears the stamp
        {"O", EsitoVoce::NonValida, ""},     // the letter the prompt shows does not
        {"00", EsitoVoce::NonValida, ""},
        {" 0", EsitoVoce::NonValida, ""},
        {"0    x", EsitoVoce::Valida, ""},   // only the first five characters count
        {"A.", EsitoVoce::NonValida, ""},
        {"A.+", EsitoVoce::NonValida, ""},
        {"A.1-2", EsitoVoce::NonValida, ""},
        {"A.ab", EsitoVoce::NonValida, ""},
        {"B.05", EsitoVoce::NonValida, ""},
        {"A,05", EsitoVoce::NonValida, ""},
    };
    for (const Caso& c : casi) {
        const VoceVersione v = ValutaVoceVersione(QString::fromUtf8(c.voce));
        EXPECT_EQ(v.esito, c.esito) << c.voce;
        EXPECT_EQ(v.valore, QString::fromUtf8(c.valore)) << c.voce;
    }
}

TEST(Versione, ConfrontoOrdinale)
{
    EXPECT_GT(ConfrontaVersioni("A.10", "A.09"), 0);
    EXPECT_GT(ConfrontaVersioni("A.5", "A.10"), 0);
    EXPECT_GT(ConfrontaVersioni("A.05 ", "A.05"), 0);  // a proper prefix is the smaller
    EXPECT_GT(ConfrontaVersioni("a.05", "A.05"), 0);   // by character code, not by case
    EXPECT_GT(ConfrontaVersioni("A.05", "0"), 0);
    EXPECT_LT(ConfrontaVersioni("", "A"), 0);
    EXPECT_EQ(ConfrontaVersioni("A.05 ", "A.05 "), 0);

    EXPECT_EQ(AvvisoVersioni("A.06 ", "A.05 "), kPiuNuovo);
    EXPECT_EQ(AvvisoVersioni("A.05 ", ""), kPiuNuovo);
    EXPECT_EQ(AvvisoVersioni("A.05", "0"), kPiuNuovo);  // a Null archive stamp
    EXPECT_EQ(AvvisoVersioni("A.05 ", "A.06 "), kObsoleto);
    EXPECT_EQ(AvvisoVersioni("A.05", "A.05 "), kObsoleto);
    EXPECT_EQ(AvvisoVersioni("A.05 ", "A.05 "), "");

    // The archive's stamp is read again before the second comparison, not when the first warns.
    int letture = 0;
    EXPECT_EQ(AvvisoVersioni("A.05", [&] { return ++letture == 1 ? QString("A.05") : QString("A.07"); }),
              kObsoleto);
    EXPECT_EQ(letture, 2);
    letture = 0;
    EXPECT_EQ(AvvisoVersioni("A.05", [&] { ++letture; return QString(); }), kPiuNuovo);
    EXPECT_EQ(letture, 1);
}

class VersioneSuDb : public prova::AmbienteApp {};

TEST_F(VersioneSuDb, LetturaEScritturaSulDb)
{
    CreaArchivio(FileArchivio(), {QString(), QStringLiteral("A.99 ")});
    DbArchivi = dbe::OpenDatabase(FileArchivio());
    EXPECT_EQ(VersioneDb(), "0");  // Null reads as "0"; only the first record counts
    VersioneDb(QStringLiteral("A.05 "));
    EXPECT_EQ(VersioneDb(), "A.05 ");
    VersioneDb(QString());
    EXPECT_EQ(VersioneDb(), "");
    EXPECT_EQ(RecordAgenzia(FileArchivio()), 2);
    // The stamp goes through a connection of its own: DbArchivi stays open and usable.
    EXPECT_EQ(DbArchivi.OpenRecordset("AGENZIA").Value("VERSDB").toString(), "");
    // A value the field cannot hold is refused by the engine and nothing changes.
    EXPECT_THROW(VersioneDb(QStringLiteral("A.0512")), dbe::DbError);
    EXPECT_EQ(VersioneDb(), "");
}

TEST_F(VersioneSuDb, AgenziaVuotaOAssente)
{
    CreaArchivio(FileArchivio(), {});
    DbArchivi = dbe::OpenDatabase(FileArchivio());
    // Writing needs a first record; reading creates it.
    EXPECT_THROW(VersioneDb(QStringLiteral("A.01 ")), dbe::DbError);
    EXPECT_EQ(VersioneDb(), "0");
    EXPECT_EQ(VersioneDb(), "0");
    EXPECT_EQ(RecordAgenzia(FileArchivio()), 1);
    VersioneDb(QStringLiteral("A.01 "));
    EXPECT_EQ(VersioneDb(), "A.01 ");

    const QString senza = archivi.path() + "/senza.mdb";
    CreaArchivio(senza, {}, false);
    DbArchivi = dbe::OpenDatabase(senza);
    EXPECT_THROW(VersioneDb(), dbe::DbError);
    EXPECT_THROW(VersioneDb(QStringLiteral("A.01 ")), dbe::DbError);
}

TEST_F(VersioneSuDb, VersioneMaster)
{
    EXPECT_EQ(LeggiVersioneMaster(), "");  // no master file
    CreaArchivio(FileMaster(), {QStringLiteral("A.07 "), QStringLiteral("A.99 ")});
    EXPECT_EQ(LeggiVersioneMaster(), "A.07 ");
    const struct { QStringList versioni; bool agenzia; } vuoti[] = {
        {{QString()}, true}, {{}, true}, {{}, false}};
    for (const auto& v : vuoti) {
        QFile::remove(FileMaster());
        CreaArchivio(FileMaster(), v.versioni, v.agenzia);
        EXPECT_EQ(LeggiVersioneMaster(), "");
    }
    QFile::remove(FileMaster());
    QFile f(FileMaster());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("non un archivio");
    f.close();
    EXPECT_EQ(LeggiVersioneMaster(), "");
}
