#include "dbengine/db_error.h"

#include <gtest/gtest.h>

using dbe::DbError;

TEST(DbErrorTest, MakeFillsTheDescriptionsPlaceholders)
{
    DbError e = DbError::make(dbe::err::FileNotFound, {QStringLiteral("C:\\x\\lumera.mdb")});
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), QStringLiteral("Impossibile trovare il file 'C:\\x\\lumera.mdb'."));
    DbError f = DbError::make(dbe::err::FieldExists, {QStringLiteral("A"), QStringLiteral("T")});
    EXPECT_EQ(f.description(), QStringLiteral("Il campo 'A' esiste già nella tabella 'T'."));
    EXPECT_EQ(DbError::make(dbe::err::RecordDeleted).description(), QStringLiteral("Il record è stato eliminato."));
}
