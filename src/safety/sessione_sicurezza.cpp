#include "sessione_sicurezza.h"

#include "copia_sicurezza.h"
#include "integrita.h"
#include "modifica_registrata.h"


#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace corvale {

struct StatoSicurezza {
    ImpostazioniSicurezza impostazioni;
    QHash<QString, QString> preparati;  // the archives that passed the gate, with their copy
    QHash<QString, std::shared_ptr<Registro>> registri;  // the journals opened, by archive
    struct Verifica {
        QStringList problemi;
        QDateTime ora;
        // Set by the gate's integrity check only: the tables it checked (empty: all of them) and
        // the file's stamp then; the verdict holds while the stamp is the same.
        QStringList tabelle;
        QByteArray impronta;
        bool copre(const QStringList& richieste) const
        {
            if (impronta.isEmpty())
                return false;
            if (tabelle.isEmpty())
                return true;
            for (const QString& t : richieste.isEmpty() ? QStringList{QString()} : richieste)
                if (!tabelle.contains(t, Qt::CaseInsensitive))
                    return false;
            return true;
        }
    };
    QHash<QString, Verifica> verificati;  // the archives whose indexes the session verified
};

namespace {

StatoSicurezza& Stato(const Sessione& s)
{
    if (!s.Protezione)
        s.Protezione = std::make_shared<StatoSicurezza>();
    return *s.Protezione;
}

QHash<QString, QString>& Preparati(const Sessione& s) { return Stato(s).preparati; }

QString Chiave(const QString& archivio) { return QFileInfo(archivio).absoluteFilePath(); }

QString ArchivioAperto(const Sessione& s)
{
    try {
        return !s.DbArchivi.isNull() && s.DbArchivi.IsOpen() ? Chiave(s.DbArchivi.Name()) : QString();
    } catch (const dbe::DbError&) {
        // Every engine error: an archive whose name cannot be read has no key, like a closed one.
        return QString();
    }
}

dbe::Progress Avanzamento(const Sessione& s, const QString& cosa)
{
    if (!Sicurezza(s).avanzamento)
        return {};
    return [&s, cosa](qint64 fatto, qint64 totale) { Sicurezza(s).avanzamento(cosa, fatto, totale); };
}

QString TestoDanneggiato(const QString& ora)
{
    return QStringLiteral("Attenzione: la verifica dell'archivio del %1 lo ha trovato danneggiato e non è stato "
                          "riparato. I risultati dei controlli possono essere inesatti, e nessuna correzione è "
                          "consentita finché l'archivio non viene riparato.")
        .arg(ora);
}

const QString kNessunaModifica = QStringLiteral("Nessuna modifica è stata fatta.");

}  // namespace

ImpostazioniSicurezza& Sicurezza(const Sessione& s) { return Stato(s).impostazioni; }

QString MessaggioArchivioDanneggiato(const QStringList& problemi)
{
    return QStringLiteral("L'archivio è danneggiato: nessuna correzione è consentita finché non viene "
                          "riparato.\r")
           + ElencoProblemi(problemi, 3);
}

QString AvvisoCopia(const QString& copia)
{
    return QStringLiteral("Copia di sicurezza dell'archivio salvata in %1").arg(QDir::toNativeSeparators(copia));
}

void RegistraVerifica(Registro& reg, const QStringList& problemi)
{
    const std::optional<VoceRegistro> ultima = reg.Ultima({tipo_modifica::Verifica, tipo_modifica::Riparazione});
    const bool eraDanneggiato = ultima && ultima->stato == stato_modifica::NonRiuscita;
    if (problemi.isEmpty() && !eraDanneggiato)
        return;
    VoceRegistro v;
    v.tipo = tipo_modifica::Verifica;
    v.descrizione = QStringLiteral("Verifica dell'archivio");
    if (const qint64 id = reg.Inizia(v)) {
        reg.Concludi(id, problemi.isEmpty() ? stato_modifica::Fatta : stato_modifica::NonRiuscita,
                     problemi.isEmpty() ? QStringLiteral("integro") : QStringLiteral("danneggiato"),
                     ElencoProblemi(problemi, 20));
    }
}

QString AvvisoArchivioDanneggiato(const Sessione& s)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty())
        return QString();
    const auto trovato = Stato(s).verificati.constFind(archivio);
    if (trovato != Stato(s).verificati.cend() && !trovato->problemi.isEmpty())
        return TestoDanneggiato(trovato->ora.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (!Stato(s).registri.contains(archivio) && !QFileInfo::exists(Registro::FilePer(archivio)))
        return QString();
    const std::shared_ptr<Registro> reg = RegistroPer(s);
    const std::optional<VoceRegistro> ultima =
        reg ? reg->Ultima({tipo_modifica::Verifica, tipo_modifica::Riparazione}) : std::nullopt;
    if (!ultima || ultima->stato != stato_modifica::NonRiuscita)
        return QString();
    return TestoDanneggiato(ultima->ora);
}

QStringList VerificaPrimaDeiControlli(const Sessione& s)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty())
        return {};
    auto& verificati = Stato(s).verificati;
    // A verdict on the whole archive stands; one on some tables only does not.
    if (const auto it = verificati.constFind(archivio); it != verificati.cend() && it->tabelle.isEmpty())
        return it->problemi;
    const QStringList problemi = IndiciIncompleti(archivio);
    verificati.insert(archivio, {problemi, QDateTime::currentDateTime()});
    if (!problemi.isEmpty() && (Stato(s).registri.contains(archivio) || QFileInfo::exists(Registro::FilePer(archivio))))
        if (const std::shared_ptr<Registro> reg = RegistroPer(s))
            RegistraVerifica(*reg, problemi);
    return problemi;
}

bool PrimaDellaModifica(const Sessione& s, const QStringList& tabelle)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty())
        return true;  // the change itself will report the closed archive
    if (Preparati(s).contains(archivio))
        return true;
    QString errore;
    const std::shared_ptr<Registro> reg = RegistroPer(s, &errore);
    if (!reg) {
        s.operatore().Mostra(QStringLiteral("Impossibile scrivere il registro delle modifiche %1.\r%2\r")
                                 .arg(QDir::toNativeSeparators(Registro::FilePer(archivio)), errore)
                             + kNessunaModifica);
        return false;
    }
    RiconciliaInCorso(s.DbArchivi, *reg);

    // The integrity check, unless a verdict of this session on the same tables holds: the file is
    // still the one it was when checked (no commit since, of this program or another).
    const QByteArray impronta = ImprontaArchivio(archivio);
    const auto verdetto = Stato(s).verificati.constFind(archivio);
    QStringList problemi;
    QString copia, erroreCopia;
    bool copiaFatta = false;  // the copy written beside the check (or refused: erroreCopia)
    if (verdetto != Stato(s).verificati.cend() && verdetto->copre(tabelle) && verdetto->impronta == impronta) {
        problemi = verdetto->problemi;
        RegistraVerifica(*reg, problemi);  // journaled as when checked: a damage each time
    } else {
        const dbe::Progress avanzamento = Avanzamento(s, QStringLiteral("Verifica dell'archivio"));
        if (tabelle.isEmpty()) {
            problemi = ProblemiIntegrita(s.DbArchivi, avanzamento);
        } else if (Sicurezza(s).senzaCopia) {
            problemi = ProblemiIntegritaTabelle(archivio, tabelle, avanzamento);
        } else {
            // A walk's gate: the copy is written while its tables are checked, of the same state.
            const VerificaConCopia v = VerificaECopia(s, *reg, CopieDaConservare(s), tabelle, avanzamento);
            problemi = v.problemi;
            copia = v.copia;
            erroreCopia = v.errore;
            copiaFatta = true;
        }
        RegistraVerifica(*reg, problemi);
        Stato(s).verificati.insert(archivio, {problemi, QDateTime::currentDateTime(), tabelle, impronta});
    }
    if (!problemi.isEmpty()) {
        const QString testo = MessaggioArchivioDanneggiato(problemi);
        const QString domanda = testo
                                + QStringLiteral("\r\rRiparare ora l'archivio? Prima della riparazione ne "
                                                 "viene salvata una copia di sicurezza.");
        const bool ripara = Sicurezza(s).offriRiparazione
                                ? Sicurezza(s).offriRiparazione(testo)
                                : s.operatore().Mostra(domanda, Pulsanti::SiNo) == Risposta::Si;
        if (!ripara)
            return false;
        const EsitoRiparazione e = RiparaArchivio(s, *reg, Avanzamento(s, QStringLiteral("Verifica dell'archivio")));
        s.operatore().Mostra(
            (e.riuscita ? QStringLiteral("Archivio riparato.\r") : QStringLiteral("Riparazione non riuscita.\r"))
            + e.rapporto);
        if (!e.riuscita)
            return false;
        Stato(s).verificati.insert(archivio, {QStringList(), QDateTime::currentDateTime()});
        copia = e.copia;
    } else if (!Sicurezza(s).senzaCopia) {
        if (!copiaFatta)
            copia = ScriviCopiaSicurezza(s, *reg, CopieDaConservare(s), errore,
                                         Avanzamento(s, QStringLiteral("Copia di sicurezza")));
        else
            errore = erroreCopia;
        if (copia.isEmpty()) {
            s.operatore().Mostra(errore + QLatin1Char('\r') + kNessunaModifica);
            return false;
        }
        if (Sicurezza(s).avviso)
            Sicurezza(s).avviso(AvvisoCopia(copia));
    }
    Preparati(s).insert(archivio, copia);
    return true;
}

std::shared_ptr<Registro> RegistroSessione(const Sessione& s)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty() || !Preparati(s).contains(archivio))
        return nullptr;
    return RegistroPer(s);
}

std::shared_ptr<Registro> RegistroPer(const Sessione& s, QString* errore)
{
    const QString archivio = ArchivioAperto(s);
    if (archivio.isEmpty()) {
        if (errore)
            *errore = QStringLiteral("Nessun archivio aperto.");
        return nullptr;
    }
    auto& registri = Stato(s).registri;
    if (const auto it = registri.constFind(archivio); it != registri.cend())
        return *it;
    auto r = std::make_shared<Registro>(archivio);
    if (!r->Aperto()) {
        if (errore)
            *errore = r->Errore();
        return nullptr;
    }
    registri.insert(archivio, r);
    return r;
}

QString CopiaSessione(const Sessione& s) { return Preparati(s).value(ArchivioAperto(s)); }

void AzzeraSicurezza(const Sessione& s) { s.Protezione.reset(); }

}  // namespace corvale
