#include "versione.h"

#include "access/solo_lettura.h"
#include "core/sessione.h"

#include <QRegularExpression>

namespace corvale {

namespace {
const QString kTabella = QString::fromLatin1(kTabellaVersione);
const QString kCampo = QString::fromLatin1(kCampoVersione);
}  // namespace

QString LeggiVersioneDb(const dbe::Database& db, bool aggiungiRecord)
{
    dbe::Database seconda = dbe::OpenDatabase(db.Name());
    dbe::Recordset rs = seconda.OpenRecordset(kTabella);
    if (rs.RecordCount() == 0) {
        if (!aggiungiRecord) {
            rs.Close();
            seconda.Close();
            return QStringLiteral("0");
        }
        rs.AddNew();
        rs.Update();
    }
    rs.MoveFirst();
    const QVariant v = rs.Value(kCampo);
    const QString risultato = v.isNull() ? QStringLiteral("0") : v.toString();
    rs.Close();
    seconda.Close();
    return risultato;
}

void ScriviVersioneDb(const dbe::Database& db, const QString& valore)
{
    dbe::Database seconda = dbe::OpenDatabase(db.Name());
    dbe::Recordset rs = seconda.OpenRecordset(kTabella);
    rs.MoveFirst();
    rs.Edit();
    rs.SetValue(kCampo, valore);
    rs.Update();
    rs.Close();
    seconda.Close();
}

QString VersioneDb(const Sessione& s) { return LeggiVersioneDb(s.DbArchivi); }

QString LeggiVersioneMaster(const Sessione& s) { return LeggiVersioneMaster(s.PercorsoMaster()); }

QString LeggiVersioneMaster(const QString& fileMaster)
{
    try {
        dbe::Database db = access::ApriDatabase(fileMaster, true);
        dbe::Recordset rs = db.OpenRecordset(kTabella);
        const QString versione = QString() + rs.Value(kCampo).toString();
        rs.Close();
        db.Close();
        return versione;
    } catch (...) {
        // A master that cannot be opened or read has no stamp, whatever the reason; the gate says so.
        return QString();
    }
}

bool TestoNumerico(QStringView testo)
{
    static const QRegularExpression numero(
        QStringLiteral("^\\s*(?:[+-]?\\s*(?:\\d+(?:[.,]\\d*)?|[.,]\\d+)(?:[eEdD][+-]?\\d+)?"
                       "|&[hH][0-9A-Fa-f]+|&[oO]?[0-7]+)\\s*$"));
    return numero.match(testo.toString()).hasMatch();
}

VoceVersione ValutaVoceVersione(const QString& voce)
{
    if (voce.isEmpty())
        return {EsitoVoce::Vuota, QString()};
    const QString stamp = voce.toUpper().left(5).leftJustified(5, u' ');
    if (stamp == QStringLiteral("0    "))
        return {EsitoVoce::Valida, QString()};
    if (!stamp.startsWith(QStringLiteral("A.")))
        return {EsitoVoce::NonValida, QString()};
    if (!TestoNumerico(QStringView(stamp).sliced(2, 3)))
        return {EsitoVoce::NonValida, QString()};
    return {EsitoVoce::Valida, stamp};
}

int ConfrontaVersioni(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseSensitive); }

QString AvvisoVersioni(const QString& master, const std::function<QString()>& versioneDb)
{
    if (ConfrontaVersioni(master, versioneDb()) > 0)
        return QStringLiteral("Attenzione !!! Prima di eseguire qualsiasi modifica è strettamante consigliato di "
                              "eseguire Lumera almeno una volta in modo da allineare la versione del DB.");
    if (ConfrontaVersioni(master, versioneDb()) < 0)
        return QStringLiteral("Attenzione !!! La versione del Db Master è obsoleta. Contattare la Ombrisa e "
                              "richiedere una versione aggiornata.");
    return QString();
}

QString AvvisoVersioneMasterAssente()
{
    return QStringLiteral("Impossibile ricavare la versione di riferimento del nel Db Master.") + QChar(u'\r');
}

QString AvvisoVersioni(const QString& master, const QString& versioneDb)
{
    return AvvisoVersioni(master, [&] { return versioneDb; });
}

}  // namespace corvale
