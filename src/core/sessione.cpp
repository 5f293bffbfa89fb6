#include "core/sessione.h"

#include "core/guardia_archivio.h"

#include <QCoreApplication>

namespace corvale {

ArchivioSessione::ArchivioSessione() : guardia_(std::make_shared<GuardiaArchivio>()) {}

ArchivioSessione& ArchivioSessione::operator=(const dbe::Database& db)
{
    dbe::Database::operator=(db);
    guardia_->Installa(db);
    return *this;
}

QString Sessione::CartellaProgramma() const
{
    if (!cartella_.isEmpty())
        return cartella_;
    const QString home = qEnvironmentVariable("CORVALE_HOME");
    if (!home.isEmpty())
        return home;
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

QString Sessione::PercorsoMaster() const
{
    if (!master_.isEmpty())
        return master_;
    return CartellaProgramma() + QStringLiteral("/esempio.mdb");
}

void Sessione::ChiudiDatabase()
{
    DbArchivi = dbe::Database();
    DbMaster = dbe::Database();
}

QString SpiegazioneErrore(const dbe::DbError& e)
{
    if (e.number() != dbe::err::CouldNotUpdateLocked)
        return e.description();
    return e.description()
           + QStringLiteral(" Un altro programma sta scrivendo nell'archivio: riprovare quando avrà terminato.");
}

QString PercorsoArchivio(const QString& cartella) { return cartella + QStringLiteral("/lumera.mdb"); }

}  // namespace corvale
