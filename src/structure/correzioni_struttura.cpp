#include "correzioni_struttura.h"

#include "core/sessione.h"
#include "codici_struttura.h"
#include "correzioni_additive.h"
#include "core/manutenzione.h"
#include "core/valore.h"
#include "modifica_campo.h"
#include "modifica_lunghezza.h"

namespace corvale {

namespace {

const QString kIconaDaEseguire = QStringLiteral("DA_ESEGUIRE");
const QString kIconaOk = QStringLiteral("VERIFICATO_OK");
const QString kIconaProblemi = QStringLiteral("PROBLEMI");

// The correction routine for one coded problem of table nmTab.
bool Correggi(Sessione& s, const QString& nmTab, const QString& cod)
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
        return ok && ModificaTipoCampo(s, nmTab, item("CAMPO"), tipo);
    }
    if (codice == cod::NoIdx || codice == cod::NoFldIdx)
        return AggiungiIndice(s, nmTab, item("INDICE"));
    if (codice == cod::NoProp)
        return AggiungiProprieta(s, nmTab, item("PROPRIETA"));
    return false;
}

// Closes the archive and opens it again by its path, as a fresh shared handle. A failure leaves
// the handle closed: the corrections that follow then fail on it and say so in their rows.
void RiapriArchivio(Sessione& s, const QString& percorso)
{
    try {
        if (!s.DbArchivi.isNull() && s.DbArchivi.IsOpen())
            s.DbArchivi.Close();
    } catch (const dbe::DbError&) {
    }
    try {
        s.DbArchivi = dbe::OpenDatabase(percorso);
    } catch (const dbe::DbError&) {
    }
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
        m.LstStruct.ImpostaIcona(pos, kIconaDaEseguire);
        m.LstStruct.ImpostaTestoStato(pos, QStringLiteral("Da Eseguire"));
        m.LstStruct.ImpostaSpunta(pos, true);
        m.LstStruct.ImpostaTag(pos, cod);
    }
}

void GestisciCorrezioneStruttura(Manutenzione& m, int P)
{
    Sessione& s = m.sessione();
    if (P < 0 || P > MaxTask)
        return;
    const QString percorso = s.DbArchivi.isNull() ? QString() : s.DbArchivi.Name();
    const QString tabella = m.ElencoTask[P].P[0];
    ClessidraAccesa clessidra(s.operatore());
    for (int pos = 0; pos < m.LstStruct.Conta(); ++pos) {
        if (m.LstStruct.Riga(pos).Spuntata) {
            const bool ok = Correggi(s, tabella, m.LstStruct.Riga(pos).Tag);
            m.LstStruct.ImpostaTestoStato(pos, ok ? QStringLiteral("OK")
                                                  : QStringLiteral("Non e' stato possibile correggere"));
            m.LstStruct.ImpostaIcona(pos, ok ? kIconaOk : kIconaProblemi);
        }
        RiapriArchivio(s, percorso);
    }
}

void CollegaCorrezioniStruttura(Manutenzione& m)
{
    m.Correzioni.AttivaCorrezioneStruttura = [&m] { AttivaCorrezioneStruttura(m); };
    m.Correzioni.GestisciCorrezioneStruttura = [&m](int pos) { GestisciCorrezioneStruttura(m, pos); };
}

}  // namespace corvale
