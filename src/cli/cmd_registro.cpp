// corvale-cli registro [N] [--json]: the journal of the archive's changes, newest first (one line
// each; with N, that change and its records). With --json: {"archivio", "registro", "modifiche":
// [{id, ora, utente, chiave, descrizione, tipo, tabella, stato, esito, messaggio, copia, annulla,
// annullata_da, record: [{n, tabella, riga, fatto, prima, dopo}]}]}, the records' values as
// [field, kind, value] triples. Exit 0, or 2 on an error.
#include "comandi.h"
#include "sicurezza_cli.h"

#include "core/sessione.h"
#include "safety/modifica_registrata.h"
#include "safety/registro.h"
#include "safety/riga_testo.h"

#include "dbengine/db_error.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace corvale::cli {

namespace {

QJsonValue RigaJson(const std::optional<dbe::StoredRow>& r)
{
    if (!r)
        return QJsonValue::Null;
    return QJsonDocument::fromJson(TestoDaRiga(*r)).array();
}

QJsonObject VoceJson(const VoceRegistro& v, Registro& reg)
{
    QJsonObject o{{"id", v.id},
                  {"ora", v.ora},
                  {"utente", v.utente},
                  {"chiave", v.chiave},
                  {"descrizione", v.descrizione},
                  {"tipo", v.tipo},
                  {"tabella", v.tabella},
                  {"stato", v.stato},
                  {"esito", v.esito},
                  {"messaggio", v.messaggio},
                  {"copia", v.copia},
                  {"annulla", v.annulla},
                  {"annullata_da", v.annullataDa}};
    QJsonArray record;
    for (const RecordRegistro& r : reg.Record(v.id))
        record.append(QJsonObject{{"n", r.n},
                                  {"tabella", r.tabella},
                                  {"riga", r.riga},
                                  {"fatto", r.fatto},
                                  {"prima", RigaJson(r.prima)},
                                  {"dopo", RigaJson(r.dopo)}});
    o.insert(QStringLiteral("record"), record);
    return o;
}

}  // namespace

int ComandoRegistro(const QStringList& argomenti)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = argomenti;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    qint64 sola = 0;
    if (!args.isEmpty() && !args.first().startsWith(QLatin1String("--"))) {
        bool ok = false;
        sola = args.takeFirst().toLongLong(&ok);
        if (!ok || sola <= 0) {
            err << "Numero di modifica non valido.\n";
            return kEsitoNonEseguito;
        }
    }
    QString errore;
    int numero = 0;
    OperatoreRiga operatore(Risposta::No);
    Sessione s(operatore);
    const bool aperto = ApriSoloArchivio(s, args, errore, &numero) == kEsitoRiuscito;
    // On a full disk the archive cannot be opened (its readers need room for a shared index), but
    // its journal can still be read: it is listed as it is.
    const QString archivio =
        aperto ? s.DbArchivi.Name() : QFileInfo(PercorsoArchivio(s.PathArchivi)).absoluteFilePath();
    if (!aperto && (numero != dbe::err::DiskFull || !QFileInfo::exists(Registro::FilePer(archivio)))) {
        err << errore << "\nUso: corvale-cli registro [N] [--json] [--programma CARTELLA] [--archivio CARTELLA]\n";
        return kEsitoNonEseguito;
    }
    Registro reg(archivio);
    if (!reg.Aperto()) {
        err << "Impossibile leggere il registro delle modifiche " << Registro::FilePer(archivio) << "\n"
            << reg.Errore() << "\n";
        return kEsitoNonEseguito;
    }
    // Entries a crashed session left "in corso" are settled against the archive (read only).
    if (aperto)
        RiconciliaInCorso(s.DbArchivi, reg);
    else if (!reg.InCorso().isEmpty())
        err << "Spazio su disco insufficiente per aprire l'archivio: le modifiche \"in corso\" sono elencate "
               "come le ha lasciate il registro, senza confrontarle con l'archivio.\n";
    QVector<VoceRegistro> voci;
    if (sola) {
        const auto v = reg.Voce(sola);
        if (!v) {
            err << "Il registro non contiene la modifica " << sola << ".\n";
            return kEsitoNonEseguito;
        }
        voci << *v;
    } else {
        voci = reg.Elenco();
    }
    if (json) {
        QJsonArray l;
        for (const VoceRegistro& v : voci)
            l.append(VoceJson(v, reg));
        out << QJsonDocument(QJsonObject{{"archivio", archivio}, {"registro", reg.File()}, {"modifiche", l}})
                   .toJson(QJsonDocument::Indented);
        return kEsitoRiuscito;
    }
    if (voci.isEmpty())
        out << "Nessuna modifica registrata.\n";
    for (const VoceRegistro& v : voci) {
        out << v.id << "\t" << v.ora << "\t" << v.utente << "\t" << v.tipo << "\t" << v.chiave << "\t"
            << SuUnaRiga(v.descrizione) << "\t" << v.tabella << "\t" << v.stato << "\t"
            << QStringLiteral("%1 record").arg(v.recordFatti);
        if (!v.esito.isEmpty())
            out << "\t" << SuUnaRiga(v.esito);
        if (v.annullataDa)
            out << "\tannullata dalla modifica " << v.annullataDa;
        out << "\n";
        if (sola) {
            if (!v.messaggio.isEmpty())
                out << "  " << SuUnaRiga(v.messaggio) << "\n";
            for (const RecordRegistro& r : reg.Record(v.id))
                out << "  " << r.n << "\t" << r.tabella << "\t" << (r.fatto ? "fatto" : "non fatto") << "\tprima "
                    << (r.prima ? QString::fromUtf8(TestoDaRiga(*r.prima)) : QStringLiteral("-")) << "\tdopo "
                    << (r.dopo ? QString::fromUtf8(TestoDaRiga(*r.dopo)) : QStringLiteral("-")) << "\n";
        }
    }
    return kEsitoRiuscito;
}

}  // namespace corvale::cli
