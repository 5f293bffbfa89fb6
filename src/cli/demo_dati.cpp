#include "demo_dati.h"

#include "demo_nomi.h"

#include <QHash>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace corvale::cli::demo {

namespace {

// Tags that give every table its own random stream.
enum Flusso : quint32 {
    FClienti = 1,
    FFornitori,
    FAgenti,
    FProdotti,
    FOrdini,
    FRigheOrdini,
    FFatture,
    FRigheFatture,
    FPagamenti,
    FDistinte,
    FCliditt,
    FAgenda,
    FAgenteCliente,
    FAgenzie,
    // Second streams of a record, for the fields that do not decide its place in the data.
    FProdottiAltri,
    FOrdiniAltri,
    FFattureAltre
};

// A seeded problem (or a seeded oddity that is no problem) of kind k falls on about 1% of the n
// records, at least one: the records whose position modulo min(100, n) is the kind's slot.
// With n >= 50 the slots of up to eight kinds are distinct.
bool seminato(qint64 i, qint64 n, int k)
{
    const qint64 p = std::min<qint64>(100, n);
    return i % p == (3 + 11 * k) % p;
}

QString numero(qint64 n, int cifre) { return QString::number(n).rightJustified(cifre, QLatin1Char('0')); }

double arrotonda(double v) { return std::round(v * 100.0) / 100.0; }

const QDate kInizio(2018, 1, 8);
constexpr int kGiorniArchivio = 6 * 365;

struct Agenzia {
    const char* cod;
    const char* rag;
    const char* citta;
    const char* prov;
};
const Agenzia kAgenzie[] = {
    {"AZ01", "Lumera Sede Centrale", "Bologna", "BO"},
    {"AZ02", "Agenzia di Milano", "Milano", "MI"},
    {"AZ03", "Agenzia di Roma", "Roma", "RM"},
    {"AZ04", "", "Napoli", "NA"},  // an agency whose name was never filled in
};

struct Modalita {
    const char* cod;
    const char* des;
    int giorni;
    int rate;
    bool fineMese;
};
const Modalita kModalita[] = {
    {"RD", "Rimessa diretta", 0, 1, false},          {"B30", "Ricevuta bancaria 30 gg", 30, 1, true},
    {"B60", "Ricevuta bancaria 60 gg", 60, 1, true}, {"B90", "Ricevuta bancaria 30/60/90 gg", 90, 3, true},
    {"BON", "Bonifico bancario", 30, 1, false},      {"CON", "Contrassegno", 0, 1, false},
};

struct Riga {
    int prodotto;
    double qta;
    double prezzo;
    double sconto;
};

struct Documento {
    qint64 cliente = 0;  // customer index
    QString codcli;  // as written in the record (seeded)
    QString codage;
    QString ditta;  // supplier code as written (seeded)
    QString dittaBase;  // supplier code before seeding
    QString agenzia;
    QString numero;  // Null text when the document has no number
    QString tipodep;
    QString riferimento;  // an invoice's order number
    QDate data;
    QVector<Riga> righe;
    bool senzaRighe = false;
    bool righeOrfane = false;
    double imponibile = 0;
};

}  // namespace

struct DatiDemo::Dati {
    qint64 ordini = 0;
    quint64 seme = 0;
    qint64 clienti = 0, agenti = 0, fornitori = 0, prodotti = 0, fatture = 0, pagamenti = 0, distinte = 0, linee = 0;
    QVector<QString> descrProdotti;
    QVector<double> prezzoProdotti;
    QVector<QString> umProdotti;
    QVector<QString> codiciProdotti;  // made once: every order and invoice line names one

    QString codiceCliente(qint64 c) const { return QLatin1Char('C') + numero(c + 1, 6); }
    QString codiceAgente(qint64 a) const { return QLatin1Char('A') + numero(a + 1, 4); }
    // Suppliers 0 and 1 are the fixed codes VARIE and AGENZIA.
    QString codiceFornitore(qint64 f) const
    {
        if (f == 0)
            return QStringLiteral("VARIE");
        if (f == 1)
            return QStringLiteral("AGENZIA");
        return QLatin1Char('F') + numero(f - 1, 5);
    }
    const QString& codiceProdotto(qint64 p) const { return codiciProdotti[p]; }
    // A line's description: its product's, empty (not Null) for a product without one. A reference,
    // never a copy: the two threads that write lines read the same texts.
    const QString& descrizioneRiga(qint64 p) const
    {
        static const QString vuota = QStringLiteral("");
        return descrProdotti[p].isNull() ? vuota : descrProdotti[p];
    }
    QString codiceLinea(qint64 l) const { return QLatin1Char('L') + numero(l + 1, 2); }
    qint64 agenteDi(qint64 c) const { return qint64(Caso::per(seme, FAgenteCliente, c).prossimo() % quint64(agenti)); }
    qint64 fornitoreNormale(Caso& r) const { return 2 + qint64(r.prossimo() % quint64(fornitori - 2)); }

    QVector<Riga> righe(Flusso f, qint64 i, int quante) const
    {
        Caso r = Caso::per(seme, f, i);
        QVector<Riga> v;
        v.reserve(quante);
        for (int k = 0; k < quante; ++k) {
            Riga g;
            g.prodotto = int(r.prossimo() % quint64(prodotti));
            g.qta = 1 + r.fino(20);
            g.prezzo = prezzoProdotti[g.prodotto];
            static const double sconti[] = {0, 0, 0, 5, 10};
            g.sconto = sconti[r.fino(5)];
            v.append(g);
        }
        return v;
    }

    static double imponibileDi(const QVector<Riga>& righe)
    {
        double t = 0;
        for (const Riga& g : righe)
            t += arrotonda(g.qta * g.prezzo * (1 - g.sconto / 100));
        return arrotonda(t);
    }

    // conRighe false: the order without its lines and amount (drawn from a stream of their own, so
    // the other fields are the same), for an invoice that only names its order.
    Documento ordine(qint64 i, bool conRighe = true) const
    {
        Caso r = Caso::per(seme, FOrdini, i);
        Documento o;
        o.cliente = qint64(r.prossimo() % quint64(clienti));
        o.codcli = codiceCliente(o.cliente);
        o.codage = codiceAgente(agenteDi(o.cliente));
        const bool varie = r.probabilita(4);
        const qint64 f = fornitoreNormale(r);
        o.dittaBase = varie ? codiceFornitore(0) : codiceFornitore(f);
        o.ditta = o.dittaBase;
        o.agenzia = QString::fromLatin1(kAgenzie[r.fino(4)].cod);
        o.numero = numero(i + 1, 8);
        o.tipodep = r.probabilita(25) ? QStringLiteral("OFF") : QStringLiteral("ORD");
        o.data = kInizio.addDays(i * kGiorniArchivio / ordini + r.fino(3));
        const int n = 1 + r.fino(9);

        if (seminato(i, ordini, 0))  // a customer that no longer exists
            o.codcli = QStringLiteral("CX") + numero(i % 100000, 5);
        if (seminato(i, ordini, 1))  // an agent that no longer exists
            o.codage = QStringLiteral("AX") + numero(i % 1000, 3);
        if (seminato(i, ordini, 2)) {  // a supplier that no longer exists
            o.ditta = QStringLiteral("FX") + numero(i % 10000, 4);
            o.dittaBase = o.ditta;
        }
        if (seminato(i, ordini, 3)) {  // no number (and so no lines)
            o.numero = ((i / 100) % 2 == 0) ? QString() : QStringLiteral("   ");
            o.senzaRighe = true;
        }
        if (seminato(i, ordini, 4)) {  // lines lost
            o.senzaRighe = true;
            if (varie)
                o.ditta = o.dittaBase = codiceFornitore(f);
        }
        if (seminato(i, ordini, 5))  // customer code in lower case: still the customer's
            o.codcli = o.codcli.toLower();
        if (seminato(i, ordini, 6)) {  // sundry supplier without lines: not a problem
            o.ditta = o.dittaBase = codiceFornitore(0);
            o.senzaRighe = true;
        }
        o.righeOrfane = seminato(i, ordini, 7);  // lines whose order is gone
        if (conRighe) {
            o.righe = righe(FRigheOrdini, i, n);
            o.imponibile = imponibileDi(o.righe);
        }
        return o;
    }

    Documento fattura(qint64 j) const
    {
        const Documento base = ordine(2 * j, false);
        Caso r = Caso::per(seme, FFatture, j);
        Documento f;
        f.cliente = base.cliente;
        f.codcli = codiceCliente(base.cliente);
        f.codage = codiceAgente(agenteDi(base.cliente));
        f.dittaBase =
            base.dittaBase.startsWith(QLatin1String("FX")) ? codiceFornitore(fornitoreNormale(r)) : base.dittaBase;
        f.ditta = f.dittaBase;
        f.agenzia = base.agenzia;
        f.numero = numero(j + 1, 8);
        f.riferimento = base.numero;
        f.data = base.data.addDays(r.fino(20));
        const int n = 1 + r.fino(9);

        if (seminato(j, fatture, 0))
            f.codcli = QStringLiteral("CX") + numero(j % 100000, 5);
        if (seminato(j, fatture, 1))
            f.ditta = QStringLiteral("FX") + numero(j % 10000, 4);
        if (seminato(j, fatture, 2)) {
            f.senzaRighe = true;
            if (f.ditta == codiceFornitore(0))
                f.ditta = codiceFornitore(fornitoreNormale(r));
        }
        f.righeOrfane = seminato(j, fatture, 3);
        if (seminato(j, fatture, 4)) {
            f.ditta = codiceFornitore(0);
            f.senzaRighe = true;
        }
        if (seminato(j, fatture, 5))
            f.codcli = f.codcli.toLower();
        f.righe = righe(FRigheFatture, j, n);
        f.imponibile = imponibileDi(f.righe);
        return f;
    }

    // The records of one archive table each, written through riga; how many.
    qint64 scriviAgenzia(RigaDemo& riga) const;
    qint64 scriviAgenti(RigaDemo& riga) const;
    qint64 scriviFornit(RigaDemo& riga) const;
    qint64 scriviLinee(RigaDemo& riga) const;
    qint64 scriviProdotti(RigaDemo& riga) const;
    qint64 scriviClienti(RigaDemo& riga) const;
    qint64 scriviCliditt(RigaDemo& riga) const;
    qint64 scriviVendite(RigaDemo& riga) const;
    qint64 scriviDettOrd(RigaDemo& riga) const;
    qint64 scriviFatture(RigaDemo& riga) const;
    qint64 scriviDettFat(RigaDemo& riga) const;
    qint64 scriviPagam(RigaDemo& riga) const;
    qint64 scriviRisolti(RigaDemo& riga) const;
    qint64 scriviPagamRisolti(RigaDemo& riga) const;
    qint64 scriviAgenda(RigaDemo& riga) const;
};

DatiDemo::DatiDemo(qint64 ordini, quint64 seme) : d(std::make_unique<Dati>())
{
    d->ordini = std::max(ordini, kOrdiniMinimi);
    d->seme = seme;
    d->clienti = std::max<qint64>(20, d->ordini / 10);
    d->agenti = std::max<qint64>(8, d->ordini / 5000);
    d->fornitori = std::max<qint64>(12, d->ordini / 1000);
    d->prodotti = std::max<qint64>(40, d->ordini / 200);
    d->fatture = d->ordini / 2;
    d->pagamenti = d->fatture;
    d->distinte = (d->pagamenti + 9) / 10;
    d->linee = 13;
    d->descrProdotti.resize(d->prodotti);
    d->prezzoProdotti.resize(d->prodotti);
    d->umProdotti.resize(d->prodotti);
    d->codiciProdotti.resize(d->prodotti);
    for (qint64 p = 0; p < d->prodotti; ++p) {
        Caso r = Caso::per(seme, FProdotti, p);
        d->codiciProdotti[p] = QLatin1Char('P') + numero(p + 1, 6);
        d->descrProdotti[p] = Prodotto(r);
        d->prezzoProdotti[p] = arrotonda(double(100 + r.fino(50000)) / 100.0);
        d->umProdotti[p] = UnitaMisura(r);
        if (seminato(p, d->prodotti, 0))  // no description
            d->descrProdotti[p] = (p / 100) % 2 == 0 ? QString() : QStringLiteral("  ");
    }
}

DatiDemo::~DatiDemo() = default;

qint64 DatiDemo::Ordini() const { return d->ordini; }
qint64 DatiDemo::Clienti() const { return d->clienti; }

QStringList DatiDemo::TabelleArchivio()
{
    return {QStringLiteral("AGENZIA"), QStringLiteral("AGENTI"),        QStringLiteral("FORNIT"),
            QStringLiteral("LINEE"),   QStringLiteral("PRODOTTI"),      QStringLiteral("CLIENTI"),
            QStringLiteral("CLIDITT"), QStringLiteral("VENDITE"),       QStringLiteral("DETT_ORD"),
            QStringLiteral("FATTURE"), QStringLiteral("DETT_FAT"),      QStringLiteral("PAGAM"),
            QStringLiteral("RISOLTI"), QStringLiteral("PAGAM_RISOLTI"), QStringLiteral("AGENDA")};
}

QStringList DatiDemo::TabelleMaster() { return {QStringLiteral("AGENZIA"), QStringLiteral("MODPAGAM")}; }

QStringList DatiDemo::Campi(const QString& t)
{
    static const QHash<QString, QStringList> campi = {
        {QStringLiteral("AGENZIA"),
         {"COD", "RAG", "INDIRIZZO", "CAP", "CITTA", "PROV", "PIVA", "TELEFONO", "EMAIL", "VERSDB"}},
        {QStringLiteral("AGENTI"),
         {"CODAGE", "RAGSOC", "INDIRIZZO", "CITTA", "PROV", "TELEFONO", "EMAIL", "PROVVIGIONE", "ZONA"}},
        {QStringLiteral("FORNIT"),
         {"COD", "RAGSOC", "INDIRIZZO", "CAP", "CITTA", "PROV", "PIVA", "TELEFONO", "EMAIL", "SITOWEB", "PROVVIGIONE"}},
        {QStringLiteral("LINEE"), {"LINEA", "DESCR", "SCONTOMAX"}},
        {QStringLiteral("PRODOTTI"),
         {"CODICE", "DESCR", "LINEA", "FORNITORE", "UM", "PREZZO", "COSTO", "IVA", "GIACENZA"}},
        {QStringLiteral("CLIENTI"),
         {"CODICE", "RAGSOC", "INDIRIZZO", "CAP", "CITTA", "PROV", "PIVA", "CODFISC", "TELEFONO", "SITOWEB", "CODAGE",
          "ZONA", "GGPAG", "FIDO", "DATAINS", "NOTE", "EMAIL"}},
        {QStringLiteral("CLIDITT"), {"CODCLI", "CODDIT", "PAGAM", "SCONTO", "LISTINO"}},
        {QStringLiteral("VENDITE"),
         {"ID", "NUMORD", "DATA", "CODCLI", "CODAGE", "DITTA", "CODAGENZIA", "TIPODEP", "STATO", "CODPAG", "CONSEGNA",
          "IMPONIBILE", "IVA", "TOTALE"}},
        {QStringLiteral("DETT_ORD"),
         {"ID", "CODCLI", "NUMORD", "DATA", "DITTA", "LIB3", "RIGA", "CODPROD", "DESCR", "QTA", "UM", "PREZZO",
          "SCONTO", "IVA"}},
        {QStringLiteral("FATTURE"),
         {"ID", "NUMFAT", "DATA", "CODCLI", "CODAGE", "CODDITTA", "CODAGENZIA", "NUMORD", "CODPAG", "SCADENZA",
          "IMPONIBILE", "IVA", "TOTALE", "PAGATA"}},
        {QStringLiteral("DETT_FAT"),
         {"ID", "CODCLI", "NUMFAT", "DATA", "DITTA", "RIGA", "CODPROD", "DESCR", "QTA", "PREZZO", "SCONTO", "IVA"}},
        {QStringLiteral("PAGAM"), {"ID", "DATA", "CODCLI", "AGENTE", "DITTA", "NUMFAT", "IMPORTO", "MODALITA", "NOTE"}},
        {QStringLiteral("RISOLTI"), {"IDRIS", "DATA", "DESCR", "BANCA", "TOTALE"}},
        {QStringLiteral("PAGAM_RISOLTI"), {"IDRIS", "IDPAG"}},
        {QStringLiteral("AGENDA"), {"ID", "GIORNO", "ORA", "TESTO", "CODCLI", "CODAGE", "FATTO"}},
        {QStringLiteral("MODPAGAM"), {"COD", "DES", "GIORNI", "RATE", "FINEMESE"}},
    };
    return campi.value(t);
}

qint64 DatiDemo::Stima(const QString& t) const
{
    if (t == QLatin1String("CLIENTI") || t == QLatin1String("AGENDA"))
        return d->clienti;
    if (t == QLatin1String("CLIDITT"))
        return d->clienti * 3 / 2;
    if (t == QLatin1String("VENDITE"))
        return d->ordini;
    if (t == QLatin1String("DETT_ORD"))
        return d->ordini * 5;
    if (t == QLatin1String("FATTURE") || t == QLatin1String("PAGAM") || t == QLatin1String("PAGAM_RISOLTI"))
        return d->fatture;
    if (t == QLatin1String("DETT_FAT"))
        return d->fatture * 5;
    if (t == QLatin1String("RISOLTI"))
        return d->distinte;
    if (t == QLatin1String("PRODOTTI"))
        return d->prodotti;
    if (t == QLatin1String("FORNIT"))
        return d->fornitori;
    if (t == QLatin1String("AGENTI"))
        return d->agenti;
    return 20;
}

qint64 DatiDemo::GeneraMaster(const QString& t, RigaDemo& riga) const
{
    if (t == QLatin1String("AGENZIA")) {
        const Agenzia& a = kAgenzie[0];
        riga.Testo(0, QString::fromLatin1(a.cod));
        riga.Testo(1, QString::fromUtf8(a.rag));
        riga.Testo(4, QString::fromUtf8(a.citta));
        riga.Testo(5, QString::fromLatin1(a.prov));
        riga.Testo(9, VersioneDemoMaster());
        riga.Scrivi();
        return 1;
    }
    if (t == QLatin1String("MODPAGAM")) {
        for (const Modalita& m : kModalita) {
            riga.Testo(0, QString::fromLatin1(m.cod));
            riga.Testo(1, QString::fromUtf8(m.des));
            riga.Intero(2, m.giorni);
            riga.Intero(3, m.rate);
            riga.Intero(4, m.fineMese ? -1 : 0);
            riga.Scrivi();
        }
        return int(std::size(kModalita));
    }
    return 0;
}

qint64 DatiDemo::Dati::scriviAgenzia(RigaDemo& riga) const
{
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (int k = 0; k < int(std::size(kAgenzie)); ++k) {
        const Agenzia& a = kAgenzie[k];
        Caso r = Caso::per(seme, FAgenzie, k);
        riga.Testo(0, QString::fromLatin1(a.cod));
        riga.Testo(1, QString::fromUtf8(a.rag));
        riga.Testo(2, Indirizzo(r));
        riga.Testo(4, QString::fromUtf8(a.citta));
        riga.Testo(5, QString::fromLatin1(a.prov));
        riga.Testo(6, PartitaIva(r));
        riga.Testo(7, Telefono(r));
        if (k == 0)
            riga.Testo(9, VersioneDemoArchivio());
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviAgenti(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 a = 0; a < x.agenti; ++a) {
        Caso r = Caso::per(seme, FAgenti, a);
        const QString nome = Persona(r);
        const Citta& c = UnaCitta(r);
        riga.Testo(0, x.codiceAgente(a));
        riga.Testo(1, nome);
        riga.Testo(2, Indirizzo(r));
        riga.Testo(3, QString::fromUtf8(c.nome));
        riga.Testo(4, QString::fromLatin1(c.prov));
        riga.Testo(5, Telefono(r));
        riga.Testo(6, Email(nome, r));
        riga.Reale(7, 3 + r.fino(6));
        riga.Testo(8, QStringLiteral("Zona ") + QString::fromUtf8(c.nome));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviFornit(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 f = 0; f < x.fornitori; ++f) {
        Caso r = Caso::per(seme, FFornitori, f);
        QString rag = f == 0   ? QStringLiteral("Fornitori vari")
                      : f == 1 ? QStringLiteral("Vendite dirette dell'agenzia")
                               : Societa(r);
        const Citta& c = UnaCitta(r);
        riga.Testo(0, x.codiceFornitore(f));
        if (f >= 2 && seminato(f, x.fornitori, 0)) {
            if ((f / 100) % 2 == 1)
                riga.Testo(1, QStringLiteral(" "));
        } else {
            riga.Testo(1, rag);
        }
        riga.Testo(2, Indirizzo(r));
        riga.Testo(3, QString::fromLatin1(c.cap));
        riga.Testo(4, QString::fromUtf8(c.nome));
        riga.Testo(5, QString::fromLatin1(c.prov));
        riga.Testo(6, PartitaIva(r));
        riga.Testo(7, Telefono(r));
        riga.Testo(8, Email(rag, r));
        if (f >= 2)
            riga.Testo(9, QStringLiteral("http://www.") + x.codiceFornitore(f).toLower() + QStringLiteral(".it"));
        riga.Reale(10, 2 + r.fino(8));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviLinee(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 l = 0; l < x.linee; ++l) {
        riga.Testo(0, x.codiceLinea(l));
        if (l < x.linee - 1)  // the last line has no description
            riga.Testo(1, DescrizioneLinea(int(l)));
        riga.Reale(2, 5 * (l % 4));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviProdotti(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 p = 0; p < x.prodotti; ++p) {
        Caso r = Caso::per(seme, FProdottiAltri, p);
        riga.Testo(0, x.codiceProdotto(p));
        if (!x.descrProdotti[p].isNull())
            riga.Testo(1, x.descrProdotti[p]);
        riga.Testo(2, x.codiceLinea(r.fino(int(x.linee - 1))));
        riga.Testo(3, seminato(p, x.prodotti, 1) ? QStringLiteral("FX") + numero(p % 10000, 4)
                                                 : x.codiceFornitore(x.fornitoreNormale(r)));
        riga.Testo(4, x.umProdotti[p]);
        riga.Reale(5, x.prezzoProdotti[p]);
        riga.Reale(6, arrotonda(x.prezzoProdotti[p] * 0.6));
        riga.Intero(7, r.probabilita(10) ? 10 : 22);
        riga.Intero(8, r.fino(500));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviClienti(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 c = 0; c < x.clienti; ++c) {
        Caso r = Caso::per(seme, FClienti, c);
        const bool societa = r.probabilita(60);
        const QString nome = societa ? Societa(r) : Persona(r);
        const Citta& ct = UnaCitta(r);
        riga.Testo(0, x.codiceCliente(c));
        if (seminato(c, x.clienti, 0)) {  // a customer without a name
            if ((c / 100) % 2 == 1)
                riga.Testo(1, QStringLiteral("  "));
        } else {
            riga.Testo(1, nome);
        }
        riga.Testo(2, Indirizzo(r));
        riga.Testo(3, QString::fromLatin1(ct.cap));
        riga.Testo(4, QString::fromUtf8(ct.nome));
        riga.Testo(5, QString::fromLatin1(ct.prov));
        if (societa) {
            riga.Testo(6, PartitaIva(r));
            riga.Testo(9, QStringLiteral("http://www.cliente") + QString::number(c + 1) + QStringLiteral(".it"));
        } else {
            QString cf = nome.toUpper().remove(QLatin1Char(' ')).remove(QLatin1Char('\'')).left(6);
            cf = (cf + QStringLiteral("XXXXXX")).left(6) + numero(r.fino(100), 2) + QLatin1Char('A')
                 + numero(1 + r.fino(28), 2) + QLatin1Char('H') + numero(r.fino(1000), 3) + QLatin1Char('X');
            riga.Testo(7, cf);
        }
        riga.Testo(8, Telefono(r));
        riga.Testo(10, x.codiceAgente(x.agenteDi(c)));
        riga.Intero(11, 1 + r.fino(20));
        static const int giorni[] = {0, 30, 60, 90};
        riga.Intero(12, giorni[r.fino(4)]);
        riga.Reale(13, 1000.0 * (1 + r.fino(50)));
        riga.Data(14, kInizio.addDays(-r.fino(3000)));
        if (r.probabilita(5))
            riga.Testo(15, QStringLiteral("Cliente storico: concordare le consegne con l'ufficio acquisti."));
        riga.Testo(16, Email(nome, r));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviCliditt(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 c = 0; c < x.clienti; ++c) {
        Caso r = Caso::per(seme, FCliditt, c);
        const qint64 quante = 1 + r.fino(2);
        const qint64 primo = x.fornitoreNormale(r);
        for (qint64 k = 0; k < quante; ++k) {
            const qint64 f = 2 + (primo - 2 + k) % (x.fornitori - 2);
            riga.Testo(0, x.codiceCliente(c));
            riga.Testo(1, x.codiceFornitore(f));
            riga.Testo(2, QString::fromLatin1(kModalita[r.fino(int(std::size(kModalita)))].cod));
            riga.Reale(3, 5 * r.fino(4));
            riga.Testo(4, QStringLiteral("LIST") + QString::number(1 + r.fino(3)));
            scrivi();
        }
        if (seminato(c, x.clienti, 0)) {  // terms left behind by a deleted customer
            riga.Testo(0, QStringLiteral("CX") + numero(c % 100000, 5));
            riga.Testo(1, x.codiceFornitore(primo));
            riga.Testo(2, QStringLiteral("RD"));
            scrivi();
        }
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviVendite(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 i = 0; i < x.ordini; ++i) {
        const Documento o = x.ordine(i);
        Caso r = Caso::per(seme, FOrdiniAltri, i);
        riga.Intero(0, i + 1);
        if (!o.numero.isNull())
            riga.Testo(1, o.numero);
        riga.Data(2, o.data);
        riga.Testo(3, o.codcli);
        riga.Testo(4, o.codage);
        riga.Testo(5, o.ditta);
        riga.Testo(6, o.agenzia);
        riga.Testo(7, o.tipodep);
        riga.Testo(8, QString(QLatin1Char("ACE"[r.fino(3)])));
        riga.Testo(9, QString::fromLatin1(kModalita[r.fino(int(std::size(kModalita)))].cod));
        riga.Data(10, o.data.addDays(7 + r.fino(30)));
        const double imp = o.senzaRighe ? 0.0 : o.imponibile;
        riga.Reale(11, imp);
        riga.Reale(12, arrotonda(imp * 0.22));
        riga.Reale(13, arrotonda(imp * 1.22));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviDettOrd(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    qint64 id = 0;
    for (qint64 i = 0; i < x.ordini; ++i) {
        const Documento o = x.ordine(i);
        if (o.senzaRighe)
            continue;
        auto righe = [&](const QString& numord, int quante) {
            for (int k = 0; k < quante; ++k) {
                const Riga& g = o.righe[k];
                riga.Intero(0, ++id);
                riga.Testo(1, o.codcli);
                riga.Testo(2, numord);
                riga.Data(3, o.data);
                riga.Testo(4, o.ditta);
                riga.Testo(5, o.tipodep);
                riga.Intero(6, k + 1);
                riga.Testo(7, x.codiceProdotto(g.prodotto));
                riga.Testo(8, x.descrizioneRiga(g.prodotto));
                riga.Reale(9, g.qta);
                riga.Testo(10, x.umProdotti[g.prodotto]);
                riga.Reale(11, g.prezzo);
                riga.Reale(12, g.sconto);
                riga.Intero(13, 22);
                scrivi();
            }
        };
        righe(o.numero, int(o.righe.size()));
        if (o.righeOrfane)  // lines of an order that was deleted
            righe(QLatin1Char('X') + o.numero, std::min<int>(2, int(o.righe.size())));
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviFatture(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 j = 0; j < x.fatture; ++j) {
        const Documento f = x.fattura(j);
        Caso r = Caso::per(seme, FFattureAltre, j);
        riga.Intero(0, j + 1);
        riga.Testo(1, f.numero);
        riga.Data(2, f.data);
        riga.Testo(3, f.codcli);
        riga.Testo(4, f.codage);
        riga.Testo(5, f.ditta);
        riga.Testo(6, f.agenzia);
        if (!f.riferimento.isNull())
            riga.Testo(7, f.riferimento);
        riga.Testo(8, QString::fromLatin1(kModalita[r.fino(int(std::size(kModalita)))].cod));
        riga.Data(9, f.data.addDays(30 * (1 + r.fino(3))));
        const double imp = f.senzaRighe ? 0.0 : f.imponibile;
        riga.Reale(10, imp);
        riga.Reale(11, arrotonda(imp * 0.22));
        riga.Reale(12, arrotonda(imp * 1.22));
        riga.Intero(13, r.probabilita(70) ? -1 : 0);
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviDettFat(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    qint64 id = 0;
    for (qint64 j = 0; j < x.fatture; ++j) {
        const Documento f = x.fattura(j);
        if (f.senzaRighe)
            continue;
        auto righe = [&](const QString& numfat, int quante) {
            for (int k = 0; k < quante; ++k) {
                const Riga& g = f.righe[k];
                riga.Intero(0, ++id);
                riga.Testo(1, f.codcli);
                riga.Testo(2, numfat);
                riga.Data(3, f.data);
                riga.Testo(4, f.ditta);
                riga.Intero(5, k + 1);
                riga.Testo(6, x.codiceProdotto(g.prodotto));
                riga.Testo(7, x.descrizioneRiga(g.prodotto));
                riga.Reale(8, g.qta);
                riga.Reale(9, g.prezzo);
                riga.Reale(10, g.sconto);
                riga.Intero(11, 22);
                scrivi();
            }
        };
        righe(f.numero, int(f.righe.size()));
        if (f.righeOrfane)  // lines of an invoice that was deleted
            righe(QLatin1Char('X') + f.numero, std::min<int>(2, int(f.righe.size())));
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviPagam(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 q = 0; q < x.pagamenti; ++q) {
        const Documento f = x.fattura(q);
        Caso r = Caso::per(seme, FPagamenti, q);
        riga.Intero(0, q + 1);
        riga.Data(1, f.data.addDays(30 + r.fino(60)));
        QString codcli = x.codiceCliente(f.cliente);
        QString agente = x.codiceAgente(x.agenteDi(f.cliente));
        QString ditta = f.dittaBase;
        if (seminato(q, x.pagamenti, 0))  // a customer that no longer exists
            codcli = QStringLiteral("CX") + numero(q % 100000, 5);
        if (seminato(q, x.pagamenti, 1))  // a supplier that no longer exists
            ditta = QStringLiteral("FX") + numero(q % 10000, 4);
        if (seminato(q, x.pagamenti, 2))  // the agency's own sale: a fixed code
            ditta = x.codiceFornitore(1);
        if (seminato(q, x.pagamenti, 3))  // agent code in lower case: still the agent's
            agente = agente.toLower();
        riga.Testo(2, codcli);
        riga.Testo(3, agente);
        riga.Testo(4, ditta);
        riga.Testo(5, f.numero);
        riga.Reale(6, arrotonda(f.imponibile * 1.22));
        riga.Testo(7, QString::fromLatin1(kModalita[r.fino(int(std::size(kModalita)))].cod));
        if (r.probabilita(3))
            riga.Testo(8, QStringLiteral("Pagamento parziale, saldo concordato"));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviRisolti(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 b = 0; b < x.distinte; ++b) {
        Caso r = Caso::per(seme, FDistinte, b);
        const QDate data = kInizio.addDays(60 + b * kGiorniArchivio / x.distinte);
        riga.Intero(0, b + 1);
        riga.Data(1, data);
        riga.Testo(2, QStringLiteral("Distinta n. ") + QString::number(b + 1) + QStringLiteral(" del ")
                          + data.toString(QStringLiteral("dd/MM/yyyy")));
        riga.Testo(3, Banca(r));
        riga.Reale(4, arrotonda(1000 + r.fino(2000000) / 100.0));
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviPagamRisolti(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 q = 0; q < x.pagamenti; ++q) {
        const qint64 b = q / 10;
        if (b >= x.distinte || seminato(b, x.distinte, 0))  // a batch no payment refers to
            continue;
        riga.Intero(0, b + 1);
        riga.Intero(1, q + 1);
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Dati::scriviAgenda(RigaDemo& riga) const
{
    const Dati& x = *this;
    qint64 scritti = 0;
    auto scrivi = [&] {
        riga.Scrivi();
        ++scritti;
    };
    for (qint64 a = 0; a < x.clienti; ++a) {
        Caso r = Caso::per(seme, FAgenda, a);
        const qint64 c = qint64(r.prossimo() % quint64(x.clienti));
        riga.Intero(0, a + 1);
        if (!seminato(a, x.clienti, 0))  // an entry without a day
            riga.Data(1, kInizio.addDays(a * kGiorniArchivio / x.clienti));
        riga.Testo(2, numero(8 + r.fino(10), 2) + (r.probabilita(50) ? QStringLiteral(":00") : QStringLiteral(":30")));
        if (seminato(a, x.clienti, 1)) {  // an entry without text
            riga.Testo(3, (a / 100) % 2 == 0 ? QStringLiteral("") : QStringLiteral("   "));
        } else {
            riga.Testo(3, NotaAgenda(r));
        }
        riga.Testo(4, x.codiceCliente(c));
        riga.Testo(5, x.codiceAgente(x.agenteDi(c)));
        riga.Intero(6, r.probabilita(60) ? -1 : 0);
        scrivi();
    }
    return scritti;
}

qint64 DatiDemo::Genera(const QString& t, RigaDemo& riga) const
{
    static const struct {
        const char* tabella;
        qint64 (Dati::*scrivi)(RigaDemo&) const;
    } kTabelle[] = {
        {"AGENZIA", &Dati::scriviAgenzia},   {"AGENTI", &Dati::scriviAgenti},
        {"FORNIT", &Dati::scriviFornit},     {"LINEE", &Dati::scriviLinee},
        {"PRODOTTI", &Dati::scriviProdotti}, {"CLIENTI", &Dati::scriviClienti},
        {"CLIDITT", &Dati::scriviCliditt},   {"VENDITE", &Dati::scriviVendite},
        {"DETT_ORD", &Dati::scriviDettOrd},  {"FATTURE", &Dati::scriviFatture},
        {"DETT_FAT", &Dati::scriviDettFat},  {"PAGAM", &Dati::scriviPagam},
        {"RISOLTI", &Dati::scriviRisolti},   {"PAGAM_RISOLTI", &Dati::scriviPagamRisolti},
        {"AGENDA", &Dati::scriviAgenda},
    };
    for (const auto& k : kTabelle) {
        if (t == QLatin1String(k.tabella))
            return (d.get()->*k.scrivi)(riga);
    }
    return 0;
}

}  // namespace corvale::cli::demo
