#include "integrita.h"

#include "copia_sicurezza.h"
#include "guardia_archivio.h"
#include "sessione_sicurezza.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace corvale {

QStringList ProblemiIntegrita(const dbe::Database& db, const dbe::Progress& avanzamento)
{
    try {
        return dbe::IntegrityProblems(db, avanzamento);
    } catch (const dbe::DbError& e) {
        return {e.description()};
    }
}

QString ElencoProblemi(const QStringList& problemi, int quanti)
{
    QStringList righe = problemi.mid(0, quanti);
    if (problemi.size() > quanti)
        righe << QStringLiteral("... e altri %1 problemi.").arg(problemi.size() - quanti);
    return righe.join(QLatin1Char('\r'));
}

EsitoRiparazione RiparaArchivio(const Sessione& s, Registro& reg, const dbe::Progress& avanzamento)
{
    const dbe::Database& db = s.DbArchivi;
    EsitoRiparazione e;
    QStringList righe;
    if (!Sicurezza(s).senzaCopia) {
        QString errore;
        e.copia = ScriviCopiaSicurezza(s, reg, CopieDaConservare(s), errore);
        if (e.copia.isEmpty()) {
            e.rapporto = errore + QStringLiteral("\rL'archivio non è stato riparato.");
            return e;
        }
        righe << QStringLiteral("Copia di sicurezza dell'archivio danneggiato: %1").arg(QDir::toNativeSeparators(e.copia));
    }
    VoceRegistro v;
    v.tipo = tipo_modifica::Riparazione;
    v.descrizione = QStringLiteral("Riparazione dell'archivio");
    v.copia = e.copia;
    const qint64 id = reg.Inizia(v);
    const ScritturaConsentita scrittura(s);
    QStringList problemi;
    try {
        dbe::RebuildIndexes(db);
        righe << QStringLiteral("Indici ricostruiti.");
        problemi = ProblemiIntegrita(db, avanzamento);
    } catch (const dbe::DbError& err) {
        righe << QStringLiteral("Ricostruzione degli indici non riuscita: %1").arg(err.description());
        problemi = {err.description()};
    }
    if (!problemi.isEmpty()) {
        // The records that can still be read go into a fresh file, which then replaces the
        // archive's content; the fresh file stays among the copies.
        const QString nuovo = QDir(CartellaCopie(db.Name()))
                                  .filePath(QFileInfo(db.Name()).completeBaseName() + QStringLiteral("-recupero-")
                                            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                                            + QStringLiteral(".mdb"));
        try {
            QDir().mkpath(CartellaCopie(db.Name()));
            QStringList note;
            dbe::SalvageInto(db, nuovo, note);
            dbe::RestoreFrom(db, nuovo);
            righe << QStringLiteral("Record leggibili copiati in un archivio nuovo (%1), che ha preso il posto "
                                    "dell'archivio.")
                         .arg(QDir::toNativeSeparators(nuovo));
            righe << note;
            problemi = ProblemiIntegrita(db, avanzamento);
        } catch (const dbe::DbError& err) {
            righe << QStringLiteral("Recupero dei record non riuscito: %1").arg(err.description());
        }
    }
    e.riuscita = problemi.isEmpty();
    righe << (e.riuscita ? QStringLiteral("Verifica dell'archivio superata.")
                         : QStringLiteral("L'archivio resta danneggiato:\r") + ElencoProblemi(problemi));
    e.rapporto = righe.join(QLatin1Char('\r'));
    if (id)
        reg.Concludi(id, e.riuscita ? stato_modifica::Fatta : stato_modifica::NonRiuscita,
                     e.riuscita ? QStringLiteral("riparato") : QStringLiteral("ancora danneggiato"), e.rapporto);
    return e;
}

}  // namespace corvale
