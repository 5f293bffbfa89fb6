// corvale-cli sql FILE ISTRUZIONE: runs one statement on an existing database file and prints
// the records of a SELECT, or the number of records a data statement changed.
#include "comandi.h"

#include "dbengine/dbengine.h"
#include "dbengine/recordset_text.h"

#include <QRegularExpression>
#include <QTextStream>

namespace corvale::cli {

namespace {

const char* kSqlHelp = "Uso: corvale-cli sql FILE ISTRUZIONE\n"
                       "\n"
                       "Esegue ISTRUZIONE sul database FILE, che deve esistere.\n"
                       "SELECT: una riga d'intestazione con i nomi dei campi separati da tabulazioni, una riga per\n"
                       "record, poi \"N record\". Null e' un campo vuoto, le date sono yyyy-MM-dd HH:mm:ss, i Si/No\n"
                       "sono -1 e 0, i numeri senza separatori delle migliaia e con il punto decimale, i binari in\n"
                       "esadecimale; tabulazioni e a capo nei testi diventano spazi.\n"
                       "UPDATE, DELETE, INSERT, SELECT ... INTO: \"N record\" con il numero di record modificati\n"
                       "o copiati.\n"
                       "CREATE, DROP, ALTER: nessun output.\n"
                       "Un errore scrive \"Errore NUMERO: descrizione\" su stderr ed esce con stato 2.\n";

bool startsWith(const QString& statement, const char* words)
{
    const QRegularExpression re(QStringLiteral("^\\(*\\s*(%1)\\b").arg(QLatin1String(words)),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(statement.trimmed()).hasMatch();
}

// SELECT ... INTO TABELLA FROM ...: a statement that writes, not a query to print. INTO is looked
// for outside texts, dates and bracketed names.
bool selectInto(const QString& statement)
{
    QString bare = statement;
    bare.remove(QRegularExpression(QStringLiteral("'[^']*'|\"[^\"]*\"|\\[[^\\]]*\\]|#[^#]*#")));
    return bare.contains(QRegularExpression(QStringLiteral("\\bINTO\\b"), QRegularExpression::CaseInsensitiveOption));
}

}  // namespace

int ComandoSql(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        out << kSqlHelp;
        return kEsitoRiuscito;
    }
    if (args.size() != 2) {
        err << kSqlHelp;
        return kEsitoNonEseguito;
    }
    try {
        const dbe::Database db = dbe::OpenDatabase(args[0]);
        const QString& statement = args[1];
        if (startsWith(statement, "SELECT") && !selectInto(statement)) {
            dbe::Recordset rs = db.OpenRecordset(statement, dbe::dbOpenSnapshot);
            const qint64 n = dbe::writeRecords(rs, out);
            out << n << " record\n";
            rs.Close();
        } else {
            db.Execute(statement);
            if (!startsWith(statement, "CREATE|DROP|ALTER"))
                out << db.RecordsAffected() << " record\n";
        }
    } catch (const dbe::DbError& e) {
        out.flush();
        err << "Errore " << e.number() << ": " << e.description() << "\n";
        return kEsitoNonEseguito;
    }
    return kEsitoRiuscito;
}

}  // namespace corvale::cli
