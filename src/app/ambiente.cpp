#include "ambiente.h"

#include <QCoreApplication>

namespace corvale {

QString PathArchivi;
QString VersioneMaster;
dbe::Database DbArchivi;
dbe::Database DbMaster;

namespace {
QString& cartellaImposta()
{
    static QString c;
    return c;
}
QString& masterImposto()
{
    static QString m;
    return m;
}
}  // namespace

QString CartellaProgramma()
{
    if (!cartellaImposta().isEmpty())
        return cartellaImposta();
    const QString home = qEnvironmentVariable("CORVALE_HOME");
    if (!home.isEmpty())
        return home;
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

void ImpostaCartellaProgramma(const QString& cartella) { cartellaImposta() = cartella; }

QString PercorsoMaster()
{
    if (!masterImposto().isEmpty())
        return masterImposto();
    return CartellaProgramma() + QStringLiteral("/esempio.mdb");
}

void ImpostaPercorsoMaster(const QString& file) { masterImposto() = file; }

QString PercorsoArchivio(const QString& cartella) { return cartella + QStringLiteral("/lumera.mdb"); }

}  // namespace corvale
