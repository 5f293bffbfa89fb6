#include "correzioni_struttura.h"

#include "core/sessione.h"
#include "safety/modifica_registrata.h"
#include "safety/sessione_sicurezza.h"
#include "attributi_campo.h"
#include "codici_struttura.h"
#include "correzioni_additive.h"
#include "core/manutenzione.h"
#include "core/valore.h"
#include "modifica_campo.h"
#include "modifica_lunghezza.h"
#include "motivo_errore.h"

#include <QElapsedTimer>
#include <QThread>

namespace corvale {

namespace {

const QString kIconaDaEseguire = QStringLiteral("DA_ESEGUIRE");
const QString kIconaOk = QStringLiteral("VERIFICATO_OK");
const QString kIconaProblemi = QStringLiteral("PROBLEMI");
// How long another program's writes are waited for (the engine's busy timeout).
constexpr qint64 kAttesaMs = 3000;
const QString kStatoNonApplicabile = QStringLiteral("Non applicabile");
const QString kStatoNonEseguita = QStringLiteral("Non eseguita");

// The correction routine for one coded problem of table nmTab.
EsitoCorrezione Correggi(Sessione& s, const QString& nmTab, const QString& cod)
{
    const auto item = [&cod](const char* cosa) { return RicavaDatoDaCod(QLatin1String(cosa), cod); };
    const QString codice = item("CODICE");
    if (codice == cod::NoTab)
        return AggiungiTabella(s, nmTab);
    if (codice == cod::NoFld)
        return AggiungiCampo(s, nmTab, item("CAMPO"));
    if (codice == cod::Len)
        return ModificaLunghezzaCampo(s, nmTab, item("CAMPO"), item("LUNGHEZZA"));
    if (codice == cod::Attr)
        return ModificaAttributoCampo(s, nmTab, item("CAMPO"), item("ATTRIBUTO"));
    if (codice == cod::Tipo) {
        bool ok = false;
        const qint32 tipo = item("TIPO").trimmed().toInt(&ok);
        if (!ok) {
            return EsitoCorrezione::Fallita(dbe::DbError::make(dbe::err::InvalidFieldType));
        }
        return ModificaTipoCampo(s, nmTab, item("CAMPO"), tipo);
    }
    if (codice == cod::NoIdx || codice == cod::NoFldIdx)
        return AggiungiIndice(s, nmTab, item("INDICE"));
    if (codice == cod::NoProp)
        return AggiungiProprieta(s, nmTab, item("PROPRIETA"));
    return EsitoCorrezione::Fallita(dbe::DbError::make(dbe::err::InvalidArgument));
}

// Why the engine cannot apply an attribute row of table nmTab at all (empty when it can, or for
// another kind of row): flags it cannot give a field of that type.
QString NonApplicabile(const Sessione& s, const QString& nmTab, const QString& cod)
{
    if (RicavaDatoDaCod(QStringLiteral("CODICE"), cod) != cod::Attr)
        return QString();
    bool numero = false;
    const qint32 voluti = RicavaDatoDaCod(QStringLiteral("ATTRIBUTO"), cod).trimmed().toInt(&numero);
    const QString campo = RicavaDatoDaCod(QStringLiteral("CAMPO"), cod);
    if (!numero || s.DbArchivi.isNull() || !s.DbArchivi.IsOpen())
        return QString();
    try {
        const short tipo = s.DbArchivi.TableDefs().Item(nmTab).Fields().Item(campo).Type();
        return AttributiNonImpostabili(campo, tipo, voluti);
    } catch (const dbe::DbError&) {
        return QString();  // the row itself will say what is wrong
    }
}

// Closes the archive and opens it again by its path, as a fresh shared handle. False, with the
// reason in perche, when it cannot be opened again (the file made read-only or locked meanwhile)
// or the path now names another file (another program replaced the archive): the handle then
// stays closed, and the run must end, so that no later correction lands in another file.
bool RiapriArchivio(Sessione& s, const QString& percorso, QString* perche = nullptr)
{
    const dbe::Database chiuso = s.DbArchivi;
    try {
        if (!s.DbArchivi.isNull() && s.DbArchivi.IsOpen())
            s.DbArchivi.Close();
    } catch (const dbe::DbError&) {
        // The handle is replaced just below; a failed close of it changes nothing.
    }
    auto ferma = [perche](const dbe::DbError& e) {
        if (perche)
            *perche = QStringLiteral("Impossibile riaprire il database: correzioni interrotte.") + QChar(u'\r')
                      + e.description();
        return false;
    };
    try {
        s.DbArchivi = dbe::OpenDatabase(percorso);
    } catch (const dbe::DbError& e) {
        // Any failure to reopen stops the run, with its description.
        return ferma(e);
    }
    if (!chiuso.isNull() && !dbe::SameFile(chiuso, s.DbArchivi)) {
        try {
            s.DbArchivi.Close();
        } catch (const dbe::DbError&) {
            // The replaced file's error is the one reported; this close is cleanup.
        }
        return ferma(dbe::DbError::make(dbe::err::FileReplaced, {percorso}));
    }
    return true;
}

}  // namespace

void AttivaCorrezioneStruttura(Manutenzione& m)
{
    const int sel = m.LstTask.Selezionata();
    if (sel < 0)
        return;
    const DatiTask& t = m.Task(sel);
    m.LstStruct.Svuota();
    const int n = ValIntero16(t.P[1]);
    for (int slot = 2; slot <= n && slot < NumParametri; ++slot) {
        const QString& cod = t.P[slot];
        const int pos = m.LstStruct.Aggiungi(QString(), TestoCorrezione(t.P[0], cod));
        m.LstStruct.ImpostaTag(pos, cod);
        const QString motivo = NonApplicabile(m.sessione(), t.P[0], cod);
        if (!motivo.isEmpty()) {
            m.LstStruct.ImpostaIcona(pos, kIconaProblemi);
            m.LstStruct.ImpostaTestoStato(pos, kStatoNonApplicabile);
            m.LstStruct.ImpostaSpunta(pos, false);
            m.LstStruct.ImpostaNota(pos, motivo);
            continue;
        }
        m.LstStruct.ImpostaIcona(pos, kIconaDaEseguire);
        m.LstStruct.ImpostaTestoStato(pos, QStringLiteral("Da Eseguire"));
        m.LstStruct.ImpostaSpunta(pos, true);
    }
}

EsitoCorrezioniStruttura GestisciCorrezioneStruttura(Manutenzione& m, int P)
{
    Sessione& s = m.sessione();
    EsitoCorrezioniStruttura esito;
    if (P < 0 || P > MaxTask)
        return esito;
    if (s.DbArchivi.isNull() || !s.DbArchivi.IsOpen()) {
        s.operatore().Mostra(QStringLiteral("Il database non è aperto: nessuna correzione eseguita."));
        return esito;
    }
    const QString percorso = s.DbArchivi.Name();
    const QString tabella = m.ElencoTask[P].P[0];
    if (!PrimaDellaModifica(s))
        return esito;
    const int sel = m.LstTask.Selezionata();
    const QString chiave = sel >= 0 ? m.LstTask.Riga(sel).Chiave : QString();
    ClessidraAccesa clessidra(s.operatore());
    // The run ends at row pos: every ticked row after it is marked as not run, and the operator is
    // told what was done, what failed and what was not run.
    const auto ferma = [&](int pos, const QString& perche) {
        esito.interrotta = true;
        for (int r = pos + 1; r < m.LstStruct.Conta(); ++r) {
            if (!m.LstStruct.Riga(r).Spuntata)
                continue;
            ++esito.nonEseguite;
            m.LstStruct.ImpostaTestoStato(r, kStatoNonEseguita);
            m.LstStruct.ImpostaIcona(r, kIconaDaEseguire);
            m.LstStruct.ImpostaNota(r, QStringLiteral("Non eseguita: le correzioni si sono fermate prima."));
        }
        s.operatore().Mostra(perche + QChar(u'\r') + RiepilogoCorrezioni(tabella, esito));
    };
    for (int pos = 0; pos < m.LstStruct.Conta(); ++pos) {
        if (m.LstStruct.Riga(pos).Spuntata) {
            ModificaRegistrata voce(s, tipo_modifica::Struttura, tabella, chiave, m.LstStruct.Riga(pos).Testo);
            // The right to write is waited for (a bounded time) before the correction reads
            // anything: a correction that read first would fail at once at its first write while
            // another program writes.
            // A correction reads before it writes: when another program commits in between, SQLite
            // refuses the write at once instead of waiting (what was read is gone). Nothing of the
            // correction was done then, so it is tried again from a fresh read, for as long as the
            // busy timeout, and a program that writes often and briefly is waited for.
            EsitoCorrezione riga;
            QElapsedTimer attesa;
            attesa.start();
            for (;;) {
                try {
                    dbe::WaitWritable(s.DbArchivi);
                    riga = Correggi(s, tabella, m.LstStruct.Riga(pos).Tag);
                } catch (const dbe::DbError& e) {
                    // Every failure is the row's result; a lock is waited out below, the rest reported.
                    riga = EsitoCorrezione::Fallita(e);
                }
                if (riga || riga.motivo.numero != dbe::err::CouldNotUpdateLocked || attesa.elapsed() >= kAttesaMs)
                    break;
                QThread::msleep(2);
            }
            const bool ok = riga.fatta;
            const QString stato = ok ? QStringLiteral("OK") : QStringLiteral("Non e' stato possibile correggere");
            if (ok)
                voce.Fine(stato);
            else
                voce.Fallita(stato, riga.motivo.testo());
            m.LstStruct.ImpostaTestoStato(pos, stato);
            m.LstStruct.ImpostaIcona(pos, ok ? kIconaOk : kIconaProblemi);
            m.LstStruct.ImpostaNota(pos, ok ? QString() : riga.motivo.testo());
            ++(ok ? esito.fatte : esito.fallite);
            // Another program kept its write open through the whole wait: every later row would
            // wait as long again, so the run stops here and says why.
            if (!ok && riga.motivo.numero == dbe::err::CouldNotUpdateLocked) {
                QString perche;
                if (RiapriArchivio(s, percorso, &perche))
                    perche = QStringLiteral(
                        "Impossibile continuare le correzioni: un altro programma sta scrivendo nell'archivio.");
                ferma(pos, perche);
                return esito;
            }
        }
        QString perche;
        if (!RiapriArchivio(s, percorso, &perche)) {
            ferma(pos, perche);
            return esito;
        }
    }
    return esito;
}

QString RiepilogoCorrezioni(const QString& tabella, const EsitoCorrezioniStruttura& e)
{
    return QStringLiteral("Tabella %1: %2 correzioni eseguite, %3 non riuscite, %4 non eseguite.")
        .arg(tabella)
        .arg(e.fatte)
        .arg(e.fallite)
        .arg(e.nonEseguite);
}

void CollegaCorrezioniStruttura(Manutenzione& m)
{
    m.Correzioni.AttivaCorrezioneStruttura = [&m] { AttivaCorrezioneStruttura(m); };
    m.Correzioni.GestisciCorrezioneStruttura = [&m](int pos) { GestisciCorrezioneStruttura(m, pos); };
}

}  // namespace corvale
