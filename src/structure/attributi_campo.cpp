#include "attributi_campo.h"

#include "dbengine/dbengine.h"
#include "differenze_struttura.h"

#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace corvale {

namespace {

// A scratch archive where fields are made to see which flags the engine keeps.
class Prova {
public:
    Prova()
    {
        if (dir_.isValid())
            db_ = dbe::CreateDatabase(dir_.filePath(QStringLiteral("prova.mdb")));
    }
    ~Prova()
    {
        try {
            if (!db_.isNull())
                db_.Close();
        } catch (const dbe::DbError&) {
            // A destructor does not throw; the throwaway archive goes with its temporary folder.
        }
    }
    Prova(const Prova&) = delete;
    Prova& operator=(const Prova&) = delete;

    // The flags a new field of type tipo asked for attributi carries; nothing when it is refused.
    std::optional<qint32> Ottenuti(short tipo, qint32 attributi)
    {
        if (db_.isNull())
            return std::nullopt;
        try {
            const QString nome = QStringLiteral("T%1").arg(++tabelle_);
            dbe::TableDef td = db_.CreateTableDef(nome);
            const bool conDimensione = tipo == dbe::dbText || tipo == dbe::dbBinary;
            dbe::Field f = td.CreateField(QStringLiteral("F"), tipo, conDimensione ? 10 : 0);
            f.SetAttributes(attributi);
            td.Fields().Append(f);
            db_.TableDefs().Append(td);
            return db_.TableDefs().Item(nome).Fields().Item(QStringLiteral("F")).Attributes();
        } catch (const dbe::DbError&) {
            // A scratch table the engine refuses, for whatever reason, gives no flags.
            return std::nullopt;
        }
    }

private:
    QTemporaryDir dir_;
    dbe::Database db_;
    int tabelle_ = 0;
};

QString Attributo(qint32 bit) { return QStringLiteral("«%1» (%2)").arg(DescriviAttributi(bit)).arg(bit); }

QString Frase(const QString& campo, short tipo, const QStringList& parti)
{
    return QStringLiteral("Il campo %1 (%2) %3: il motore non lo consente, la correzione non è applicabile.")
        .arg(campo, NomeTipoCampo(tipo), parti.join(QStringLiteral("; ")));
}

// One phrase per flag: those of voluti the field cannot have, those it has and voluti lacks.
QStringList Differenze(qint32 voluti, qint32 ottenuti)
{
    QStringList parti;
    for (int i = 0; i < 31; ++i) {
        const qint32 bit = qint32(1) << i;
        if ((voluti & bit) && !(ottenuti & bit))
            parti << QStringLiteral("non può avere l'attributo ") + Attributo(bit);
        else if (!(voluti & bit) && (ottenuti & bit))
            parti << QStringLiteral("non può essere senza l'attributo ") + Attributo(bit);
    }
    return parti;
}

}  // namespace

QString AttributiMancati(const QString& campo, short tipo, qint32 voluti, qint32 ottenuti)
{
    if (voluti == ottenuti)
        return QString();
    return Frase(campo, tipo, Differenze(voluti, ottenuti));
}

QString AttributiNonImpostabili(const QString& campo, short tipo, qint32 voluti)
{
    Prova prova;
    if (const std::optional<qint32> tutti = prova.Ottenuti(tipo, voluti))
        return AttributiMancati(campo, tipo, voluti, *tutti);
    // Refused as a whole: each flag on its own tells which the field cannot have.
    QStringList parti;
    for (int i = 0; i < 31; ++i) {
        const qint32 bit = qint32(1) << i;
        if (!(voluti & bit))
            continue;
        const std::optional<qint32> solo = prova.Ottenuti(tipo, bit);
        if (!solo || !(*solo & bit))
            parti << QStringLiteral("non può avere l'attributo ") + Attributo(bit);
    }
    // Each flag can be had alone, not all of them together (fixed and variable width).
    if (parti.isEmpty())
        parti << QStringLiteral("non può avere insieme gli attributi ") + DescriviAttributi(voluti)
                     + QStringLiteral(" (%1)").arg(voluti);
    return Frase(campo, tipo, parti);
}

}  // namespace corvale
