#include "confronto_struttura.h"

#include "attributi_campo.h"
#include "codici_struttura.h"

#include <functional>

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

// Fields, in the master's order. Returns false when the comparison must stop.
bool confrontaCampi(Confronto& c, const dbe::TableDef& tm, const dbe::TableDef& ta)
{
    const dbe::FieldCollection campiMaster = tm.Fields();
    const dbe::FieldCollection campiArchivio = ta.Fields();
    const int n = campiMaster.Count();
    for (int i = 0; i < n; ++i) {
        QString nome;
        try {
            const dbe::Field fm = campiMaster.Item(i);
            nome = fm.Name();
            const dbe::Field fa = campiArchivio.Item(nome);
            const short tipoM = fm.Type();
            const short tipoA = fa.Type();
            if (tipoM != tipoA) {
                if (!c.registra(cod::Tipo + QLatin1Char('>') + nome + QLatin1Char('#')
                                    + QString::number(tipoM),
                                QStringLiteral("Tipo del campo ") + nome
                                    + QStringLiteral(" non è corretto (") + QString::number(tipoA)
                                    + QStringLiteral(" anzichè ") + QString::number(tipoM)
                                    + QLatin1Char(')') + kCrLf))
                    return false;
                continue;
            }
            if (tipoM == dbe::dbText && fm.Size() != fa.Size()) {
                if (!c.registra(cod::Len + QLatin1Char('>') + nome + QLatin1Char('#')
                                    + QString::number(fm.Size()),
                                QStringLiteral("Lunghezza del campo ") + nome
                                    + QStringLiteral(" non è corretta (") + QString::number(fa.Size())
                                    + QStringLiteral(" anzichè ") + QString::number(fm.Size())
                                    + QLatin1Char(')') + kCrLf))
                    return false;
            }
            if (fm.Attributes() != fa.Attributes()) {
                const QString codice = cod::Attr + QLatin1Char('>') + nome + QLatin1Char('#')
                                       + QString::number(fm.Attributes());
                const QString riga = QStringLiteral("Gli attributi del campo ") + nome
                                     + QStringLiteral(" non sono coretti (") + QString::number(fa.Attributes())
                                     + QStringLiteral(" anzichè ") + QString::number(fm.Attributes())
                                     + QLatin1Char(')') + kCrLf;
                if (!AttributiNonImpostabili(nome, tipoA, fm.Attributes()).isEmpty())
                    c.rinvia(codice, riga);
                else if (!c.registra(codice, riga))
                    return false;
            }
        } catch (const dbe::DbError&) {
            if (nome.isEmpty())
                continue;  // the master field itself could not be read: nothing to name
            if (!c.registra(cod::NoFld + QLatin1Char('>') + nome,
                            QStringLiteral("Il Campo ") + nome + QStringLiteral(" è mancante") + kCrLf))
                return false;
        }
    }
    return true;
}

// Indexes and their fields, in the master's order.
bool confrontaIndici(Confronto& c, const dbe::TableDef& tm, const dbe::TableDef& ta)
{
    const dbe::IndexCollection indiciMaster = tm.Indexes();
    const dbe::IndexCollection indiciArchivio = ta.Indexes();
    const int n = indiciMaster.Count();
    for (int i = 0; i < n; ++i) {
        QString nome;
        dbe::Index im, ia;
        try {
            im = indiciMaster.Item(i);
            nome = im.Name();
            ia = indiciArchivio.Item(nome);
        } catch (const dbe::DbError&) {
            if (nome.isEmpty())
                continue;
            if (!c.registra(cod::NoIdx + QLatin1Char('>') + nome,
                            QStringLiteral("L'indice ") + nome + QStringLiteral(" è mancante") + kCrLf))
                return false;
            continue;
        }
        dbe::FieldCollection campiMaster = im.Fields();
        dbe::FieldCollection campiArchivio = ia.Fields();
        const int m = campiMaster.Count();
        for (int j = 0; j < m; ++j) {
            QString campo;
            try {
                campo = campiMaster.Item(j).Name();
                campiArchivio.Item(campo);
            } catch (const dbe::DbError&) {
                if (campo.isEmpty())
                    continue;
                if (!c.registra(cod::NoFldIdx + QLatin1Char('>') + nome + QLatin1Char('#') + campo,
                                QStringLiteral("Il campo ") + campo + QStringLiteral("dell'indice ")
                                    + nome + QStringLiteral(" è mancante") + kCrLf))
                    return false;
            }
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
        QString nome;
        try {
            nome = propMaster.Item(i).Name();
            propArchivio.Item(nome);
        } catch (const dbe::DbError&) {
            if (nome.isEmpty() || proprietaIgnorata(nome))
                continue;
            if (!c.registra(cod::NoProp + QLatin1Char('>') + nome,
                            QStringLiteral("La proprietà ") + nome + QStringLiteral(" è mancante") + kCrLf))
                return;
        }
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
    dbe::TableDef tm;
    try {
        tm = master.TableDefs().Item(nomeTabella);
    } catch (const dbe::DbError&) {
        c.esito.problemi = true;
        c.esito.report = QStringLiteral("La tabella ") + nomeTabella
                         + QStringLiteral(" non è più presente nel Db Master.");
        return c.esito;
    }

    dbe::TableDef ta;
    try {
        ta = archivio.TableDefs().Item(tm.Name());
    } catch (const dbe::DbError&) {
        c.registra(cod::NoTab + QLatin1Char('>'),
                   QStringLiteral("La tabella ") + nomeTabella + QStringLiteral(" è mancante"));
        return c.esito;
    }

    // A collection that cannot be enumerated at all ends the comparison with what was found.
    try {
        if (!confrontaCampi(c, tm, ta))
            return c.esito;
        if (!confrontaIndici(c, tm, ta))
            return c.esito;
        confrontaProprieta(c, tm, ta);
        if (!c.pieno)
            c.registraRinviati();
    } catch (const dbe::DbError&) {
        c.esito.problemi = true;
    }
    return c.esito;
}

}  // namespace corvale
