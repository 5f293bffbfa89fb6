#pragma once
// FileAccess: an Access file (Jet 3, Jet 4 or ACE) opened read-only through libmdb, with its user
// tables described in the archive's own terms (type codes, sizes, attribute flags, indexes and
// table properties of the engine) and its records read value by value. The file is never written:
// libmdb opens it for reading only. Not copyable; one thread at a time.
//
// Values come as the engine stores them: Null as an invalid QVariant; yes/no as bool; byte,
// integer and long as qint64; currency as qint64 ten-thousandths (exact); single and double as
// double; dates as QDateTime to the second; text, memo, GUID and decimal as QString; binary and
// long binary as QByteArray.
//
// The complex fields of ACE: an attachment or multi-value field holds in its record the number
// Access links the record's values by (a long here), and its values come as a child table of
// their own (TabellaAccess::piatta names the file's hidden table they are read from), with that
// number and the values; an attachment's file comes as its bytes exactly, unwrapped from the way
// Access stores it. An append-only memo is its current text (its history is left out, and named);
// a Date/Time Extended value is its stored text, with its precision; a calculated field is left
// out and named.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <stdexcept>

namespace corvale::access {

// The operator's text for an Access file that is damaged, encrypted or protected by a password.
QString MessaggioIlleggibile(const QString& path);

// A file that cannot be read as an Access file. message() is the Italian text for the operator.
class ErroreAccess : public std::runtime_error {
public:
    explicit ErroreAccess(const QString& message);
    const QString& message() const { return message_; }

private:
    QString message_;
};

struct CampoAccess {
    QString nome;
    short tipo = 0;  // the engine's type code
    qint32 dimensione = 0;  // text and binary: their size; others: the type's
    qint32 attributi = 0;  // fixed/variable, auto-increment
    bool richiesto = false;
    bool lunghezzaZero = false;
    int colonna = 0;  // libmdb's column, for the record walk
    bool allegato = false;  // an attachment's file as Access stores it: unwrapped when read
};

struct CampoIndice {
    QString nome;
    bool discendente = false;
};

struct IndiceAccess {
    QString nome;
    bool primario = false;
    bool univoco = false;
    bool ignoraNull = false;
    bool richiesto = false;
    QVector<CampoIndice> campi;
};

struct ProprietaAccess {
    QString nome;
    short tipo = 0;  // the engine's type code
    QVariant valore;
};

struct TabellaAccess {
    QString nome;
    QVector<CampoAccess> campi;  // column order
    QVector<IndiceAccess> indici;  // by name
    QVector<ProprietaAccess> proprieta;  // by name
    QStringList saltati;  // what the file holds and the import leaves out, said why
    qint64 attesi = 0;  // the records its definition announces
    // A child table of a complex field: the file's hidden table its records are read from, and
    // the parent table and field (empty for an ordinary table).
    QString piatta;
    QString genitore;
    QString campoGenitore;
};

// The file's bytes of an attachment as Access stores them (a small header, then the file's
// extension and bytes, often deflate-compressed); false in ok when they cannot be unwrapped.
QByteArray ContenutoAllegato(const QByteArray& memorizzato, bool* ok = nullptr);

// True when the file starts like an Access file (Jet 3, Jet 4 or ACE), read from its first bytes
// without opening it as a database.
bool SembraFileAccess(const QString& path);

class FileAccess {
public:
    // Opens path read-only; an unreadable, damaged or encrypted file raises ErroreAccess.
    explicit FileAccess(const QString& path);
    ~FileAccess();
    FileAccess(const FileAccess&) = delete;
    FileAccess& operator=(const FileAccess&) = delete;

    const QString& Percorso() const;
    // The user tables (system tables skipped) in the file's catalogue order, each followed by
    // the child tables of its complex fields.
    const QVector<TabellaAccess>& Tabelle() const;

    // The record walk of one table: Prossimo() moves to the next record (false at the end),
    // Valore(i) reads field i of TabellaAccess::campi. Only one walk at a time.
    class Lettura {
    public:
        ~Lettura();
        Lettura(const Lettura&) = delete;
        Lettura& operator=(const Lettura&) = delete;
        bool Prossimo();
        QVariant Valore(int campo) const;
        // The number of records the file's table definition announces: a walk that ends with
        // fewer met a damaged page.
        qint64 Attesi() const;

    private:
        friend class FileAccess;
        struct Impl;
        explicit Lettura(std::unique_ptr<Impl> d);
        std::unique_ptr<Impl> d;
    };
    std::unique_ptr<Lettura> Leggi(const QString& tabella) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace corvale::access
