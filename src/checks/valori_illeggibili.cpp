#include "valori_illeggibili.h"

#include "checks/ciclo_controllo.h"
#include "core/manutenzione.h"
#include "core/sessione.h"
#include "dbengine/dbengine.h"

#include <algorithm>
#include <exception>

namespace corvale {

namespace {

bool stessoNome(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool inizioNome(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool parteNome(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// The names of a check's query text "T WHERE ..." or "A LEFT JOIN B ON ...", each with the name
// before it when written "A.X" (empty otherwise); quoted texts are skipped.
struct Nome {
    QString prima;
    QString nome;
};

QList<Nome> nomi(const QString& testo)
{
    QList<Nome> l;
    QString prima;
    int i = 0;
    while (i < testo.size()) {
        const QChar c = testo[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int fine = testo.indexOf(c, i + 1);
            i = fine < 0 ? int(testo.size()) : fine + 1;
            prima.clear();
        } else if (inizioNome(c)) {
            int j = i;
            while (j < testo.size() && parteNome(testo[j]))
                ++j;
            const QString n = testo.mid(i, j - i);
            if (j < testo.size() && testo[j] == QLatin1Char('.')) {
                prima = n;
                i = j + 1;
                continue;
            }
            l << Nome{prima, n};
            prima.clear();
            i = j;
        } else {
            prima.clear();
            ++i;
        }
    }
    return l;
}

QString testoTipo(short tipo, bool uno)
{
    if (tipo == dbe::dbDate)
        return uno ? QStringLiteral("non è una data") : QStringLiteral("non sono date");
    if (tipo == dbe::dbBoolean)
        return uno ? QStringLiteral("non è Sì/No") : QStringLiteral("non sono Sì/No");
    return uno ? QStringLiteral("non è un numero") : QStringLiteral("non sono numeri");
}

bool eseguito(const DatiTask& t)
{
    return t.Genere() != GenereTask::Struttura && (t.Stato == kStatoOk || t.Stato == kStatoPrb)
           && t.Correggibile != QLatin1String("N");
}

}  // namespace

QString CampoIlleggibile::Testo() const
{
    const bool uno = Valori == 1;
    return QStringLiteral("%1.%2: %3 %4 (%5)")
        .arg(Tabella, Campo, QString::number(Valori),
             uno ? QStringLiteral("valore illeggibile") : QStringLiteral("valori illeggibili"), testoTipo(Tipo, uno));
}

QList<QPair<QString, QString>> CampiLetti(const DatiTask& t)
{
    QList<QPair<QString, QString>> campi;
    if (t.Genere() == GenereTask::RecordOrfani) {
        campi << qMakePair(t.P[0], t.P[2]) << qMakePair(t.P[1], t.P[3]);
        return campi;
    }
    if (t.Genere() != GenereTask::RecordNulli && t.Genere() != GenereTask::RecordAccoppiati)
        return campi;
    // The tables: the first name, and the one after each JOIN. A field written without its table
    // belongs to the first.
    const QList<Nome> l = nomi(t.P[0]);
    if (l.isEmpty())
        return campi;
    QStringList tabelle{l.first().nome};
    for (int i = 1; i + 1 < l.size(); ++i) {
        if (stessoNome(l[i].nome, QStringLiteral("JOIN")))
            tabelle << l[i + 1].nome;
    }
    for (int i = 1; i < l.size(); ++i) {
        const Nome& n = l[i];
        if (stessoNome(l[i - 1].nome, QStringLiteral("JOIN")))
            continue;
        const QString tabella = n.prima.isEmpty() ? tabelle.first() : n.prima;
        const auto coppia = qMakePair(tabella, n.nome);
        bool gia = false;
        for (const auto& c : campi)
            gia = gia || (stessoNome(c.first, tabella) && stessoNome(c.second, n.nome));
        if (!gia)
            campi << coppia;
    }
    return campi;
}

QList<CampoIlleggibile> CercaValoriIlleggibili(Manutenzione& m, const QList<int>& ids)
{
    const dbe::Database& db = m.sessione().DbArchivi;
    QList<CampoIlleggibile> trovati;
    if (db.isNull())
        return trovati;
    // The fields to read, grouped by table, each with the keys of the checks that read it, as the
    // archive names them.
    struct Tabella {
        QString nome;
        QList<CampoIlleggibile> campi;
    };
    QList<Tabella> tabelle;
    const dbe::TableDefCollection definizioni = db.TableDefs();
    for (int id : ids) {
        if (id <= 0 || id > m.NumTask || !eseguito(m.ElencoTask[size_t(id)]))
            continue;
        const QString chiave = QStringLiteral("%1K").arg(id, 4, 10, QLatin1Char('0'));
        for (const auto& [nomeTabella, nomeCampo] : CampiLetti(m.ElencoTask[size_t(id)])) {
            if (!definizioni.Contains(nomeTabella))
                continue;
            const dbe::TableDef td = definizioni.Item(nomeTabella);
            if (!td.Fields().Contains(nomeCampo))
                continue;
            // A text field is left to CountUnreadable, which reads nothing for it.
            const dbe::Field f = td.Fields().Item(nomeCampo);
            auto t = std::find_if(tabelle.begin(), tabelle.end(),
                                  [&](const Tabella& x) { return stessoNome(x.nome, td.Name()); });
            if (t == tabelle.end()) {
                tabelle << Tabella{td.Name(), {}};
                t = tabelle.end() - 1;
            }
            auto c = std::find_if(t->campi.begin(), t->campi.end(),
                                  [&](const CampoIlleggibile& x) { return stessoNome(x.Campo, f.Name()); });
            if (c == t->campi.end()) {
                t->campi << CampoIlleggibile{td.Name(), f.Name(), f.Type(), 0, {}};
                c = t->campi.end() - 1;
            }
            if (!c->Chiavi.contains(chiave))
                c->Chiavi << chiave;
        }
    }
    for (Tabella& t : tabelle) {
        QStringList campi;
        for (const CampoIlleggibile& c : t.campi)
            campi << c.Campo;
        const QVector<qint64> conti = dbe::CountUnreadable(db, t.nome, campi);
        for (int i = 0; i < t.campi.size(); ++i) {
            if (conti[i] > 0) {
                t.campi[i].Valori = conti[i];
                trovati << t.campi[i];
            }
        }
    }
    return trovati;
}

QList<CampoIlleggibile> SegnalaValoriIlleggibili(Manutenzione& m, const QList<int>& ids)
{
    m.ValoriIlleggibili.clear();
    QList<CampoIlleggibile> trovati;
    try {
        trovati = CercaValoriIlleggibili(m, ids);
    } catch (const std::exception&) {
        // The counts stand as the checks left them: an archive the checks could read but this
        // read cannot is no reason to lose them.
        return {};
    }
    for (const CampoIlleggibile& c : trovati) {
        m.ValoriIlleggibili << c.Testo();
        for (const QString& chiave : c.Chiavi) {
            DatiTask& t = m.ElencoTask[size_t(Manutenzione::Id(chiave))];
            t.Dettaglio += QLatin1Char('\n') + c.Testo();
        }
    }
    return trovati;
}

void RicontrollaTask(Manutenzione& m, int li)
{
    ControlloItem(m, li);
    if (li < 0 || li >= m.LstTask.Conta())
        return;
    const int id = Manutenzione::Id(m.LstTask.Riga(li).Chiave);
    if (id <= 0 || id > m.NumTask)
        return;
    QList<CampoIlleggibile> trovati;
    try {
        trovati = CercaValoriIlleggibili(m, {id});
    } catch (const std::exception&) {
        return;  // the count stands, as after a whole run
    }
    // This task's fields are counted anew: what the run said of them may no longer hold.
    DatiTask& t = m.ElencoTask[size_t(id)];
    for (const auto& [tabella, campo] : CampiLetti(t)) {
        const QString prefisso = tabella + QLatin1Char('.') + campo + QLatin1Char(':');
        m.ValoriIlleggibili.removeIf([&](const QString& x) { return x.startsWith(prefisso, Qt::CaseInsensitive); });
    }
    for (const CampoIlleggibile& c : trovati) {
        m.ValoriIlleggibili << c.Testo();
        t.Dettaglio += QLatin1Char('\n') + c.Testo();
    }
}

QString AvvisoValoriIlleggibili(const QStringList& testi)
{
    if (testi.isEmpty())
        return QString();
    return QStringLiteral("Alcuni campi letti dai controlli contengono valori che non si leggono come il "
                          "tipo del campo: i controlli non li confrontano, e i loro conteggi possono "
                          "non essere esatti.\n")
           + testi.join(QLatin1Char('\n'));
}

}  // namespace corvale
