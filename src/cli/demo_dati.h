#pragma once
// The demo's records: customers, suppliers, agents, agencies, products, orders and invoices with
// their lines, payments and payment batches, customer-supplier terms and the agenda, generated
// deterministically from the number of orders and a fixed seed. About 1% of each kind of record
// (at least one) carries a seeded problem that one of the data checks finds; checks No. 3, 10,
// 12, 14, 17, 23 and 27 find nothing. Mixed-case keys that do match (order "c000001" against
// customer "C000001") are seeded too. Dates carry no time of day, so lines join their documents.
//
// Callers may rely on the same (orders, seed) always giving the same records, and on every
// generated value fitting the archive's fields (also the ones shorter than in the master).
#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

namespace corvale::cli::demo {

// Where the generator writes one table's records. Before each record every field is Null; the
// generator sets some and calls Scrivi(). Fields are given by their position in the table's
// list of fields (DatiDemo::Campi).
class RigaDemo {
public:
    virtual ~RigaDemo() = default;
    virtual void Testo(int campo, const QString& valore) = 0;
    virtual void Intero(int campo, qint64 valore) = 0;
    virtual void Reale(int campo, double valore) = 0;
    virtual void Data(int campo, const QDate& valore) = 0;
    virtual void Scrivi() = 0;
};

constexpr quint64 kSemeDemo = 0x4C554D455241ull;  // fixed, so that every demo is the same
constexpr qint64 kOrdiniMinimi = 50;
constexpr qint64 kOrdiniPredefiniti = 60;

class DatiDemo {
public:
    // ordini: the number of orders, at least kOrdiniMinimi.
    explicit DatiDemo(qint64 ordini, quint64 seme = kSemeDemo);
    ~DatiDemo();

    // The archive's tables the generator fills, in loading order.
    static QStringList TabelleArchivio();
    // The master's tables that get records (the version stamp, the payment methods).
    static QStringList TabelleMaster();
    // The fields the generator may set for a table, in position order.
    static QStringList Campi(const QString& tabella);

    // Writes every archive record of the table; returns how many.
    qint64 Genera(const QString& tabella, RigaDemo& riga) const;
    // Writes the master's records of the table (stamp "A.05" in AGENZIA).
    qint64 GeneraMaster(const QString& tabella, RigaDemo& riga) const;
    // About how many records Genera writes for the table (for progress reports).
    qint64 Stima(const QString& tabella) const;

    qint64 Ordini() const;
    qint64 Clienti() const;

private:
    struct Dati;
    std::unique_ptr<Dati> d;
};

// The stamps of the two databases.
inline QString VersioneDemoMaster() { return QStringLiteral("A.05"); }
inline QString VersioneDemoArchivio() { return QStringLiteral("A.04"); }

}  // namespace corvale::cli::demo
