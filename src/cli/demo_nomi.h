#pragma once
// Realistic Italian values for the demo, drawn from small word lists by a deterministic random
// source: people, companies, towns, streets, products, banks, tax numbers. Callers may rely on the
// same seed always giving the same values, and on the lengths stated below (they fit the demo's
// fields, also the archive's shorter ones).
#include <QString>

namespace corvale::cli::demo {

// A small, fast, repeatable random source (splitmix64).
class Caso {
public:
    explicit Caso(quint64 seme) : stato_(seme) {}
    // A source for record i of a table: the same (seme, tabella, i) always gives the same values.
    static Caso per(quint64 seme, quint32 tabella, qint64 i);
    quint64 prossimo();
    int fino(int n) { return int(prossimo() % quint64(n)); }  // 0 .. n-1
    bool probabilita(int percento) { return fino(100) < percento; }

private:
    quint64 stato_;
};

struct Citta {
    const char* nome;  // at most 30 characters
    const char* cap;
    const char* prov;
};

QString Nome(Caso& c);
QString Cognome(Caso& c);
QString Persona(Caso& c);  // "Cognome Nome", at most 40 characters
QString Societa(Caso& c);  // a company name, at most 50 characters
const Citta& UnaCitta(Caso& c);
QString Indirizzo(Caso& c);  // "Via ..., 12", at most 40 characters
QString Prodotto(Caso& c);  // a product description, at most 50 characters
QString UnitaMisura(Caso& c);
QString Banca(Caso& c);  // at most 40 characters
QString PartitaIva(Caso& c);  // 11 digits
QString Telefono(Caso& c);  // at most 20 characters
QString Email(const QString& nome, Caso& c);  // at most 60 characters
QString NotaAgenda(Caso& c);  // an appointment's text, at most 200 characters
QString DescrizioneLinea(int i);  // the product line i (0-based, any i)

}  // namespace corvale::cli::demo
