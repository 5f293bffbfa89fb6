#include "confronto_struttura.h"

#include "attributi_campo.h"
#include "codici_struttura.h"

namespace corvale {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// One run of the comparison: the problem flag, the report and the stop once nine are stored.
class Confronto {
public:
    explicit Confronto(QString* P) : P_(P) {}

    // Records a problem; false once the task is full, and the comparison must stop.
    bool registra(const QString& codice, const QString& riga)
    {
        esito.problemi = true;
        if (!AggiungiErroreStruttura(P_, codice)) {
            pieno = true;
            return false;
        }
        esito.report += riga;
        return true;
    }

    // A difference no correction can remove goes after all the others, so that it never takes the
    // place of one that can be corrected.
    void rinvia(const QString& codice, const QString& riga)
    {
        esito.problemi = true;
        rinviati << QStringList{codice, riga};
    }
    void registraRinviati()
    {
        for (const QStringList& r : rinviati)
            if (!registra(r[0], r[1]))
                return;
    }

    EsitoStruttura esito;
    bool pieno = false;
    QList<QStringList> rinviati;

private:
    QString* P_;
};

bool proprietaIgnorata(const QString& nome)
{
    return nome == QLatin1String("Orientation") || nome == QLatin1String("OrderByOn")
           || nome == QLatin1String("RowHeight");
}

// Fields, in the master's order. Returns false when the comparison must stop. The archive is asked
// whether it has each field; any other engine error goes to the caller, so that a field that cannot
// be read is never reported missing (and offered to be added again).
bool confrontaCampi(Confronto& c, const dbe::TableDef& tm, const dbe::TableDef& ta)
{
    const dbe::FieldCollection campiMaster = tm.Fields();
    const dbe::FieldCollection campiArchivio = ta.Fields();
    const int n = campiMaster.Count();
    for (int i = 0; i < n; ++i) {
        const dbe::Field fm = campiMaster.Item(i);
        const QString nome = fm.Name();
        if (!campiArchivio.Contains(nome)) {
            if (!c.registra(cod::NoFld + QLatin1Char('>') + nome,
                            QStringLiteral("Il Campo ") + nome + QStringLiteral(" è mancante") + kCrLf))
                return false;
            continue;
        }
        const dbe::Field fa = campiArchivio.Item(nome);
        const short tipoM = fm.Type();
        const short tipoA = fa.Type();
        if (tipoM != tipoA) {
            if (!c.registra(cod::Tipo + QLatin1Char('>') + nome + QLatin1Char('#') + QString::number(tipoM),
                            QStringLiteral("Tipo del campo ") + nome + QStringLiteral(" non è corretto (")
                                + QString::number(tipoA) + QStringLiteral(" anzichè ") + QString::number(tipoM)
                                + QLatin1Char(')') + kCrLf))
                return false;
            continue;
        }
        if (tipoM == dbe::dbText && fm.Size() != fa.Size()) {
            if (!c.registra(cod::Len + QLatin1Char('>') + nome + QLatin1Char('#') + QString::number(fm.Size()),
                            QStringLiteral("Lunghezza del campo ") + nome + QStringLiteral(" non è corretta (")
                                + QString::number(fa.Size()) + QStringLiteral(" anzichè ") + QString::number(fm.Size())
                                + QLatin1Char(')') + kCrLf))
                return false;
        }
        if (fm.Attributes() != fa.Attributes()) {
            const QString codice =
                cod::Attr + QLatin1Char('>') + nome + QLatin1Char('#') + QString::number(fm.Attributes());
            const QString riga = QStringLiteral("Gli attributi del campo ") + nome
                                 + QStringLiteral(" non sono coretti (") + QString::number(fa.Attributes())
                                 + QStringLiteral(" anzichè ") + QString::number(fm.Attributes()) + QLatin1Char(')')
                                 + kCrLf;
            // Flags the engine cannot give a field of this type are listed after every other
            // difference, so that they never take a slot a correctable one needs.
            if (!AttributiNonImpostabili(nome, tipoA, fm.Attributes()).isEmpty())
                c.rinvia(codice, riga);
            else if (!c.registra(codice, riga))
                return false;
        }
    }
    return true;
}

// Indexes and their fields, in the master's order; asked, as the fields are.
bool confrontaIndici(Confronto& c, const dbe::TableDef& tm, const dbe::TableDef& ta)
{
    const dbe::IndexCollection indiciMaster = tm.Indexes();
    const dbe::IndexCollection indiciArchivio = ta.Indexes();
    const int n = indiciMaster.Count();
    for (int i = 0; i < n; ++i) {
        const dbe::Index im = indiciMaster.Item(i);
        const QString nome = im.Name();
        if (!indiciArchivio.Contains(nome)) {
            if (!c.registra(cod::NoIdx + QLatin1Char('>') + nome,
                            QStringLiteral("L'indice ") + nome + QStringLiteral(" è mancante") + kCrLf))
                return false;
            continue;
        }
        const dbe::FieldCollection campiMaster = im.Fields();
        const dbe::FieldCollection campiArchivio = indiciArchivio.Item(nome).Fields();
        const int m = campiMaster.Count();
        for (int j = 0; j < m; ++j) {
            const QString campo = campiMaster.Item(j).Name();
            if (campiArchivio.Contains(campo))
                continue;
            if (!c.registra(cod::NoFldIdx + QLatin1Char('>') + nome + QLatin1Char('#') + campo,
                            QStringLiteral("Il campo ") + campo + QStringLiteral("dell'indice ") + nome
                                + QStringLiteral(" è mancante") + kCrLf))
                return false;
        }
    }
    return true;
}

// The table's properties, but for three that the comparison passes over.
void confrontaProprieta(Confronto& c, const dbe::TableDef& tm, const dbe::TableDef& ta)
{
    const dbe::PropertyCollection propMaster = tm.Properties();
    const dbe::PropertyCollection propArchivio = ta.Properties();
    const int n = propMaster.Count();
    for (int i = 0; i < n; ++i) {
        const QString nome = propMaster.Item(i).Name();
        if (proprietaIgnorata(nome) || propArchivio.Contains(nome))
            continue;
        if (!c.registra(cod::NoProp + QLatin1Char('>') + nome,
                        QStringLiteral("La proprietà ") + nome + QStringLiteral(" è mancante") + kCrLf))
            return;
    }
}

}  // namespace

EsitoStruttura ConfrontaStruttura(const dbe::Database& master, const dbe::Database& archivio,
                                  const QString& nomeTabella, QString* P)
{
    for (int i = 2; i <= 10; ++i)
        P[i].clear();
    P[1] = QStringLiteral("1");

    Confronto c(P);
    if (!master.TableDefs().Contains(nomeTabella)) {
        c.esito.problemi = true;
        c.esito.report =
            QStringLiteral("La tabella ") + nomeTabella + QStringLiteral(" non è più presente nel Db Master.");
        return c.esito;
    }
    const dbe::TableDef tm = master.TableDefs().Item(nomeTabella);
    if (!archivio.TableDefs().Contains(tm.Name())) {
        c.registra(cod::NoTab + QLatin1Char('>'),
                   QStringLiteral("La tabella ") + nomeTabella + QStringLiteral(" è mancante"));
        return c.esito;
    }
    const dbe::TableDef ta = archivio.TableDefs().Item(tm.Name());
    if (confrontaCampi(c, tm, ta) && confrontaIndici(c, tm, ta))
        confrontaProprieta(c, tm, ta);
    if (!c.pieno)
        c.registraRinviati();
    return c.esito;
}

}  // namespace corvale
