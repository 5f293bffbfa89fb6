#pragma once
// The demo's master schema: a plausible Lumera database, table by table, with the fields the data
// checks name and the ones a real installation carries besides (addresses, amounts, notes), the
// primary keys and other indexes, and the table properties. Callers may rely on the list being
// fixed (the same on every call) and on every table having a "Description" property.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace corvale::cli::demo {

struct CampoDemo {
    QString nome;
    short tipo = 0;  // engine type code
    qint32 dimensione = 0;  // text fields only
    qint32 attributi = 0;  // extra attribute flags (counter, hyperlink); 0 leaves the default
};

struct IndiceDemo {
    QString nome;
    QStringList campi;
    bool primario = false;
    bool unico = false;
};

struct ProprietaDemo {
    QString nome;
    short tipo = 0;
    QVariant valore;
};

struct TabellaDemo {
    QString nome;
    QVector<CampoDemo> campi;
    QVector<IndiceDemo> indici;
    QVector<ProprietaDemo> proprieta;

    // The field of that name (exact); nullptr when absent.
    const CampoDemo* campo(const QString& nomeCampo) const;
};

// Every table of the master database, in creation order.
const QVector<TabellaDemo>& SchemaMaster();
// The master table of that name; nullptr when absent.
const TabellaDemo* TabellaMaster(const QString& nome);

}  // namespace corvale::cli::demo
