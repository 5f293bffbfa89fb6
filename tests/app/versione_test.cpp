// The version stamp: the operator's entry rules, the ordinal comparison and the gate's warnings,
// then reading and writing the stamp on real archives.
#include "ambiente_prova.h"
#include "support/sessione_prova.h"
#include "core/versione.h"
#include "safety/versione_registrata.h"

using namespace corvale;

using prova::kObsoleto;
using prova::kPiuNuovo;

TEST(Versione, VociDellOperatore)
{
    struct Caso {
        const char* voce;
        EsitoVoce esito;
        const char* valore;
    };
    const Caso casi[] = {
        {"", EsitoVoce::Vuota, ""},
        {"a.5", EsitoVoce::Valida, "A.5  "},
        {"A.123456", EsitoVoce::Valida, "A.123"},
        {"A.-1", EsitoVoce::Valida, "A.-1 "},
        {"a.1,5", EsitoVoce::Valida, "A.1,5"},
        {"A.1E2", EsitoVoce::Valida, "A.1E2"},
        {"A.&HF", EsitoVoce::Valida, "A.&HF"},
        {"0", EsitoVoce::Valida, ""},  // the digit zero clears the stamp
        {"O", EsitoVoce::NonValida, ""},  // the letter the prompt shows does not
        {"00", EsitoVoce::NonValida, ""},
        {" 0", EsitoVoce::NonValida, ""},
        {"0    x", EsitoVoce::Valida, ""},  // only the first five characters count
        {"A.", EsitoVoce::NonValida, ""},
        {"A.1-2", EsitoVoce::NonValida, ""},
        {"A.ab", EsitoVoce::NonValida, ""},
        {"B.05", EsitoVoce::NonValida, ""},
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
    EXPECT_GT(ConfrontaVersioni("a.05", "A.05"), 0);  // by character code, not by case
    EXPECT_GT(ConfrontaVersioni("A.05", "0"), 0);
    EXPECT_LT(ConfrontaVersioni("", "A"), 0);
    EXPECT_EQ(ConfrontaVersioni("A.05 ", "A.05 "), 0);

    EXPECT_EQ(AvvisoVersioni("A.06 ", "A.05 "), kPiuNuovo);
    EXPECT_EQ(AvvisoVersioni("A.05 ", ""), kPiuNuovo);
    EXPECT_EQ(AvvisoVersioni("A.05", "0"), kPiuNuovo);  // a Null archive stamp
    EXPECT_EQ(AvvisoVersioni("A.05 ", "A.06 "), kObsoleto);
    EXPECT_EQ(AvvisoVersioni("A.05", "A.05 "), kObsoleto);
    EXPECT_EQ(AvvisoVersioni("A.05 ", "A.05 "), "");
}

class VersioneSuDb : public prova::AmbienteApp {};

TEST_F(VersioneSuDb, LetturaEScrittura)
{
    CreaArchivio(FileArchivio(), {QString(), QStringLiteral("A.99 ")});
    SessioneProva().DbArchivi = dbe::OpenDatabase(FileArchivio());
    EXPECT_EQ(VersioneDb(SessioneProva()), "0");  // Null reads as "0"; only the first record counts
    VersioneDb(SessioneProva(), QStringLiteral("A.05 "));
    EXPECT_EQ(VersioneDb(SessioneProva()), "A.05 ");
    VersioneDb(SessioneProva(), QString());
    EXPECT_EQ(VersioneDb(SessioneProva()), "");
    EXPECT_EQ(RecordAgenzia(FileArchivio()), 2);
    // The stamp goes through a connection of its own: DbArchivi stays open and sees the change.
    EXPECT_EQ(SessioneProva().DbArchivi.OpenRecordset("AGENZIA").Value("VERSDB").toString(), "");

    // An empty AGENZIA: writing needs a first record; reading makes it, once.
    const QString vuoto = archivi.path() + "/vuoto.mdb";
    CreaArchivio(vuoto, {});
    SessioneProva().DbArchivi = dbe::OpenDatabase(vuoto);
    EXPECT_THROW(VersioneDb(SessioneProva(), QStringLiteral("A.01 ")), dbe::DbError);
    EXPECT_EQ(LeggiVersioneDb(SessioneProva().DbArchivi, false), "0");
    EXPECT_EQ(RecordAgenzia(vuoto), 0);
    EXPECT_EQ(VersioneDb(SessioneProva()), "0");
    EXPECT_EQ(VersioneDb(SessioneProva()), "0");
    EXPECT_EQ(RecordAgenzia(vuoto), 1);

    const QString senza = archivi.path() + "/senza.mdb";
    CreaArchivio(senza, {}, false);
    SessioneProva().DbArchivi = dbe::OpenDatabase(senza);
    EXPECT_THROW(VersioneDb(SessioneProva()), dbe::DbError);
    EXPECT_THROW(VersioneDb(SessioneProva(), QStringLiteral("A.01 ")), dbe::DbError);
}

TEST_F(VersioneSuDb, VersioneMaster)
{
    EXPECT_EQ(LeggiVersioneMaster(SessioneProva()), "");  // no master file
    CreaArchivio(FileMaster(), {QStringLiteral("A.07 "), QStringLiteral("A.99 ")});
    EXPECT_EQ(LeggiVersioneMaster(SessioneProva()), "A.07 ");
    const struct {
        QStringList versioni;
        bool agenzia;
    } vuoti[] = {{{QString()}, true}, {{}, true}, {{}, false}};
    for (const auto& v : vuoti) {
        QFile::remove(FileMaster());
        CreaArchivio(FileMaster(), v.versioni, v.agenzia);
        EXPECT_EQ(LeggiVersioneMaster(SessioneProva()), "");
    }
}
