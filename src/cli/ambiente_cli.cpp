#include "ambiente_cli.h"

#include "app/ambiente.h"

#include <QFile>
#include <QRegularExpression>

namespace corvale::cli {

bool LeggiOpzioni(const QStringList& args, OpzioniArchivi& o, QString& errore, bool ammessoJson)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto valore = [&](QString& dest) {
            if (i + 1 >= args.size()) {
                errore = QStringLiteral("Valore mancante per %1.").arg(a);
                return false;
            }
            dest = args[++i];
            return true;
        };
        if (a == QLatin1String("--home")) {
            if (!valore(o.home))
                return false;
        } else if (a == QLatin1String("--archive")) {
            if (!valore(o.archive))
                return false;
            o.archivioDato = true;
        } else if (a == QLatin1String("--master")) {
            if (!valore(o.master))
                return false;
        } else if (a == QLatin1String("--json") && ammessoJson) {
            o.json = true;
        } else {
            errore = QStringLiteral("Opzione sconosciuta: %1").arg(a);
            return false;
        }
    }
    return true;
}

QString LeggiPathArchiviIni()
{
    QFile f(CartellaProgramma() + QStringLiteral("/LUMERA.INI"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray dati = f.readAll();
    QString testo = QString::fromUtf8(dati);
    if (testo.contains(QChar::ReplacementCharacter))
        testo = QString::fromLatin1(dati);
    bool inPath = false;
    const QStringList righe = testo.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString& grezza : righe) {
        const QString riga = grezza.trimmed();
        if (riga.startsWith(QLatin1Char('['))) {
            const int fine = riga.indexOf(QLatin1Char(']'));
            inPath = fine > 0 && riga.mid(1, fine - 1).trimmed().compare(QLatin1String("Path"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inPath)
            continue;
        const int uguale = riga.indexOf(QLatin1Char('='));
        if (uguale < 0 || riga.left(uguale).trimmed().compare(QLatin1String("Archivi"), Qt::CaseInsensitive) != 0)
            continue;
        QString v = riga.mid(uguale + 1).trimmed();
        if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        // The value comes back as at most 255 characters, trimmed of surrounding spaces.
        return v.left(255).trimmed();
    }
    return QString();
}

QString LeggiVersioneMasterFile()
{
    try {
        dbe::Database db = dbe::OpenDatabase(PercorsoMaster());
        QString v;
        {
            dbe::Recordset rs = db.OpenRecordset(QStringLiteral("AGENZIA"));
            const QVariant x = rs.Value(QStringLiteral("VERSDB"));
            v = x.isNull() ? QString() : x.toString();
            rs.Close();
        }
        db.Close();
        return v;
    } catch (const std::exception&) {
        return QString();
    }
}

QString LeggiVersioneDb()
{
    try {
        dbe::Recordset rs = DbArchivi.OpenRecordset(QStringLiteral("AGENZIA"));
        QString v = QStringLiteral("0");
        if (rs.RecordCount() != 0) {
            rs.MoveFirst();
            const QVariant x = rs.Value(QStringLiteral("VERSDB"));
            if (!x.isNull())
                v = x.toString();
        }
        rs.Close();
        return v;
    } catch (const std::exception&) {
        return QString();
    }
}

QString AvvisoVersione(const QString& versioneMaster, const QString& versioneDb)
{
    if (versioneMaster.isEmpty())
        return QStringLiteral("Impossibile ricavare la versione di riferimento del nel Db Master.");
    const int c = QString::compare(versioneMaster, versioneDb, Qt::CaseSensitive);
    if (c > 0)
        return QStringLiteral("Attenzione !!! Prima di eseguire qualsiasi modifica è strettamante "
                              "consigliato di eseguire Lumera almeno una volta in modo da allineare "
                              "la versione del DB.");
    if (c < 0)
        return QStringLiteral("Attenzione !!! La versione del Db Master è obsoleta. Contattare la "
                              "Ombrisa e richiedere una versione aggiornata.");
    return QString();
}

int ApriArchivi(const OpzioniArchivi& o, QString& errore)
{
    if (!o.home.isEmpty())
        ImpostaCartellaProgramma(o.home);
    if (!o.master.isEmpty())
        ImpostaPercorsoMaster(o.master);
    PathArchivi = o.archivioDato ? o.archive : LeggiPathArchiviIni();
    VersioneMaster = LeggiVersioneMasterFile();
    try {
        DbArchivi = dbe::OpenDatabase(PercorsoArchivio(PathArchivi));
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Impossibile aprire il database.\n") + e.description();
        return 2;
    }
    try {
        DbMaster = dbe::OpenDatabase(PercorsoMaster());
    } catch (const dbe::DbError& e) {
        errore = QStringLiteral("Problemi nell'aperture del DB Master.\n") + e.description();
        return 2;
    }
    return 0;
}

}  // namespace corvale::cli
