// corvale-forme: rewrites an archive's values into the other forms in which other programs store
// the same values, as such a program would: through the plain SQLite library, never through the
// engine. Used by bench/run.sh (--forme) and by the stored-forms test of corvale-cli.
//
//   corvale-forme ARCHIVIO SEME [--forme F1,F2,...] [--ore]
//
// Every value of every user table (the engine's MSys tables aside) is rewritten into a form drawn
// at random for that value (seeded by SEME), among its own form and the enabled forms that can
// hold it, so that every form is mixed within one column:
//
//   data-t        yyyy-MM-ddTHH:mm:ss
//   data-minuti   yyyy-MM-ddTHH:mm or yyyy-MM-dd HH:mm (a time with no seconds)
//   data-ms       .zzz milliseconds after the seconds (T or blank)
//   data-us       .zzzzzz microseconds after the seconds (T or blank)
//   data-z        a trailing Z (T or blank)
//   data-fuso     an offset +01:00 or -05:00 after the clock time, which stays as written
//   data-barre    yyyy/MM/dd HH:mm:ss, or yyyy/MM/dd at midnight
//   data-giorno   yyyy-MM-dd (midnight)
//   data-numero   the day number as an integer (midnight)
//   data-reale    the day number as a real, the time of day as the fraction (not midnight)
//   numero-testo      a number as Italian text without thousands points: 2,5  -0,125  12790,30
//   numero-migliaia   a number as Italian text with thousands points: 12.790,30  (1000 and more)
//   sino-uno      yes/no True as 1 (False 0)
//   sino-vero     yes/no as the texts Vero / Falso
//   sino-true     yes/no as the texts True / False
//   chiave-maiuscole  every letter of a code in upper or lower case at random
//   chiave-accenti    a code preceded by 0 to 12 accented letters, the same letters for the same
//                     code wherever it appears (in whatever case it is written), each letter in
//                     upper or lower case at random; the fixed codes VARIE and AGENZIA keep none
//
// Default: every form; a family (data, numero, sino, chiave) names all its forms. Dates are the columns declared
// DATETIME holding the engine's 19-character text; numbers the columns of the number and currency types; yes/no the
// YESNO columns; codes the code columns the checks compare (kCodici). Null, blank texts and anything else stay as they
// are. A number as text always carries the decimal comma ('12,0'), since SQLite would store a number column's '12' as
// 12 and its '1.234' as 1.234.
//
// With --ore, the dates of about two days in three first get a time of day drawn from their day
// alone (every value of one day the same time, seconds zero in about half of them), so that the forms of a time can be
// tried on archives whose dates are all at midnight; run it with --forme motore on the untouched
// copy to compare the two.
//
// Prints the number of values written in each enabled form and in the engine's own (motore, numero,
// sino, chiave), one "forma numero" a line, and exits 0; 2 on
// bad arguments or an SQLite error (the archive is then left as it was: one transaction).
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kFormeDate = {"data-t",    "data-minuti", "data-ms",     "data-us",     "data-z",
                                             "data-fuso", "data-barre",  "data-giorno", "data-numero", "data-reale"};
const std::vector<std::string> kFormeNumeri = {"numero-testo", "numero-migliaia"};
const std::vector<std::string> kFormeSiNo = {"sino-uno", "sino-vero", "sino-true"};
const std::vector<std::string> kFormeChiavi = {"chiave-maiuscole", "chiave-accenti"};

// The code columns the checks compare, and those that refer to them.
const std::map<std::string, std::set<std::string>> kCodici = {
    {"AGENZIA", {"COD"}},
    {"AGENTI", {"CODAGE"}},
    {"CLIENTI", {"CODICE", "CODAGE"}},
    {"FORNIT", {"COD"}},
    {"LINEE", {"LINEA"}},
    {"PRODOTTI", {"CODICE", "LINEA", "FORNITORE"}},
    {"MODPAGAM", {"COD"}},
    {"CLIDITT", {"CODCLI", "CODDIT", "PAGAM"}},
    {"VENDITE", {"NUMORD", "CODCLI", "CODAGE", "DITTA", "CODAGENZIA", "TIPODEP", "CODPAG", "LIB3"}},
    {"DETT_ORD", {"CODCLI", "NUMORD", "DITTA", "LIB3", "CODPROD"}},
    {"FATTURE", {"NUMFAT", "CODCLI", "CODAGE", "CODDITTA", "CODAGENZIA", "NUMORD", "CODPAG"}},
    {"DETT_FAT", {"CODCLI", "NUMFAT", "DITTA", "CODPROD"}},
    {"PAGAM", {"CODCLI", "AGENTE", "DITTA", "NUMFAT", "MODALITA"}},
    {"AGENDA", {"CODCLI", "CODAGE"}},
};
// Codes the checks name as such: they keep their letters (their case may change).
const std::set<std::string> kCodiciFissi = {"varie", "agenzia"};

// Accented letters: small and capital, UTF-8.
const std::vector<std::pair<const char*, const char*>> kAccentate = {{"à", "À"}, {"è", "È"}, {"é", "É"}, {"ì", "Ì"},
                                                                     {"ò", "Ò"}, {"ù", "Ù"}, {"ç", "Ç"}, {"ñ", "Ñ"},
                                                                     {"ä", "Ä"}, {"ö", "Ö"}, {"ü", "Ü"}, {"â", "Â"},
                                                                     {"ê", "Ê"}, {"ô", "Ô"}};

enum class Genere { Data, Numero, SiNo, Chiave };

struct Stato {
    std::mt19937_64 caso;
    std::uint64_t seme = 0;
    std::set<std::string> abilitate;
    bool ore = false;
    std::map<std::string, long> conteggi;

    bool abilitata(const std::string& f) const { return abilitate.count(f) != 0; }
    std::size_t tra(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(caso); }
};

// A stable hash of a text and the seed (FNV-1a), for what must be the same wherever a value
// appears: the accented letters of a code, the time of a day.
std::uint64_t Impronta(const std::string& s, std::uint64_t seme)
{
    std::uint64_t h = 1469598103934665603ull ^ (seme * 0x9E3779B97F4A7C15ull);
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
}

std::string DueCifre(int n)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", n);
    return b;
}

// Days from 30 December 1899 to the given day (proleptic Gregorian calendar).
long GiornoNumero(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;  // 25569: days from 1899-12-30 to 1970-01-01
}

struct Istante {
    int y, mo, d, h, mi, s;
};

bool LeggiIstante(const std::string& t, Istante& i)
{
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return false;
    return std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &i.y, &i.mo, &i.d, &i.h, &i.mi, &i.s) == 6;
}

std::string Giorno(const Istante& i, char sep = '-')
{
    char b[16];
    std::snprintf(b, sizeof b, "%04d%c%02d%c%02d", i.y, sep, i.mo, sep, i.d);
    return b;
}

std::string Ora(const Istante& i, bool secondi = true)
{
    return DueCifre(i.h) + ":" + DueCifre(i.mi) + (secondi ? ":" + DueCifre(i.s) : std::string());
}

void Risultato(sqlite3_context* ctx, const std::string& t)
{
    sqlite3_result_text(ctx, t.c_str(), int(t.size()), SQLITE_TRANSIENT);
}

// The shortest decimal text that reads back as v, without exponent, as Italian text: the comma
// for the point, points between thousands when asked, at least decimali decimals.
std::string TestoItaliano(double v, bool migliaia, int decimali)
{
    char b[400];
    const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed);
    std::string t(b, r.ptr);
    std::string segno;
    if (!t.empty() && t[0] == '-') {
        segno = "-";
        t.erase(0, 1);
    }
    std::string intera = t.substr(0, t.find('.'));
    std::string dec = t.find('.') == std::string::npos ? std::string() : t.substr(t.find('.') + 1);
    while (int(dec.size()) < decimali)
        dec += '0';
    if (migliaia) {
        for (int k = int(intera.size()) - 3; k > 0; k -= 3)
            intera.insert(std::size_t(k), ".");
    }
    return segno + intera + "," + dec;
}

void FormaData(sqlite3_context* ctx, Stato& st, sqlite3_value* v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, v);
        return;
    }
    const std::string t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    Istante i{};
    if (!LeggiIstante(t, i)) {
        sqlite3_result_value(ctx, v);
        return;
    }
    const std::uint64_t h = Impronta(Giorno(i), 0x5EED);  // the day alone, whatever the seed
    if (st.ore && i.h == 0 && i.mi == 0 && i.s == 0 && (h >> 40) % 3 != 0) {
        i.h = int(h % 24);
        i.mi = int((h >> 8) % 60);
        i.s = (h >> 16) % 2 ? int((h >> 24) % 60) : 0;
    }
    const bool mezzanotte = i.h == 0 && i.mi == 0 && i.s == 0;
    std::vector<std::string> possibili = {"motore"};
    for (const std::string& f : kFormeDate) {
        if (!st.abilitata(f))
            continue;
        if ((f == "data-minuti" && i.s != 0) || ((f == "data-giorno" || f == "data-numero") && !mezzanotte)
            || (f == "data-reale" && mezzanotte))
            continue;
        possibili.push_back(f);
    }
    const std::string f = possibili[st.tra(possibili.size())];
    ++st.conteggi[f];
    const std::string sep = st.tra(2) ? "T" : " ";
    const long giorno = GiornoNumero(i.y, i.mo, i.d);
    if (f == "data-numero") {
        sqlite3_result_int64(ctx, giorno);
    } else if (f == "data-reale") {
        sqlite3_result_double(ctx, double(giorno) + (i.h * 3600 + i.mi * 60 + i.s) / 86400.0);
    } else if (f == "motore") {
        Risultato(ctx, Giorno(i) + " " + Ora(i));
    } else if (f == "data-t") {
        Risultato(ctx, Giorno(i) + "T" + Ora(i));
    } else if (f == "data-minuti") {
        Risultato(ctx, Giorno(i) + sep + Ora(i, false));
    } else if (f == "data-ms") {
        Risultato(ctx, Giorno(i) + sep + Ora(i) + ".000");
    } else if (f == "data-us") {
        Risultato(ctx, Giorno(i) + sep + Ora(i) + ".000000");
    } else if (f == "data-z") {
        Risultato(ctx, Giorno(i) + sep + Ora(i) + "Z");
    } else if (f == "data-fuso") {
        Risultato(ctx, Giorno(i) + sep + Ora(i) + (st.tra(2) ? "+01:00" : "-05:00"));
    } else if (f == "data-barre") {
        Risultato(ctx, mezzanotte && st.tra(2) ? Giorno(i, '/') : Giorno(i, '/') + " " + Ora(i));
    } else {  // data-giorno
        Risultato(ctx, Giorno(i));
    }
}

void FormaNumero(sqlite3_context* ctx, Stato& st, sqlite3_value* v, bool valuta)
{
    const int tipo = sqlite3_value_type(v);
    if (tipo != SQLITE_INTEGER && tipo != SQLITE_FLOAT) {
        sqlite3_result_value(ctx, v);
        return;
    }
    const double x = sqlite3_value_double(v);
    std::vector<std::string> possibili = {"numero"};
    if (st.abilitata("numero-testo"))
        possibili.push_back("numero-testo");
    if (st.abilitata("numero-migliaia") && std::fabs(x) >= 1000)
        possibili.push_back("numero-migliaia");
    const std::string f = possibili[st.tra(possibili.size())];
    ++st.conteggi[f];
    if (f == "numero") {
        sqlite3_result_value(ctx, v);
        return;
    }
    // Currency as an office writes it, with two decimals; other numbers with one or two when whole.
    const int decimali = valuta ? 2 : (x == std::floor(x) ? 1 + int(st.tra(2)) : 0);
    Risultato(ctx, TestoItaliano(x, f == "numero-migliaia", decimali));
}

void FormaSiNo(sqlite3_context* ctx, Stato& st, sqlite3_value* v)
{
    const int tipo = sqlite3_value_type(v);
    if (tipo != SQLITE_INTEGER && tipo != SQLITE_FLOAT) {
        sqlite3_result_value(ctx, v);
        return;
    }
    const bool vero = sqlite3_value_double(v) != 0;
    std::vector<std::string> possibili = {"motore"};
    for (const std::string& f : kFormeSiNo) {
        if (st.abilitata(f))
            possibili.push_back(f);
    }
    const std::string f = possibili[st.tra(possibili.size())];
    ++st.conteggi[f == "motore" ? "sino" : f];
    if (f == "motore")
        sqlite3_result_int(ctx, vero ? -1 : 0);
    else if (f == "sino-uno")
        sqlite3_result_int(ctx, vero ? 1 : 0);
    else if (f == "sino-vero")
        Risultato(ctx, vero ? "Vero" : "Falso");
    else
        Risultato(ctx, vero ? "True" : "False");
}

void FormaChiave(sqlite3_context* ctx, Stato& st, sqlite3_value* v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, v);
        return;
    }
    const std::string t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    std::string piegata;
    bool ascii = true, vuota = true;
    for (unsigned char c : t) {
        ascii = ascii && c < 0x80;
        vuota = vuota && c == ' ';
        piegata += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (vuota || !ascii) {  // blank, or not one of the archive's own codes
        sqlite3_result_value(ctx, v);
        return;
    }
    std::string r;
    if (st.abilitata("chiave-accenti") && kCodiciFissi.count(piegata) == 0) {
        std::uint64_t h = Impronta(piegata, st.seme);
        const int n = int(h % 13);
        for (int k = 0; k < n; ++k) {
            h = h * 6364136223846793005ull + 1442695040888963407ull;
            const auto& lettera = kAccentate[(h >> 33) % kAccentate.size()];
            r += st.tra(2) ? lettera.first : lettera.second;
        }
        ++st.conteggi[n > 0 ? "chiave-accenti" : "chiave"];
    }
    const bool maiuscole = st.abilitata("chiave-maiuscole");
    for (unsigned char c : t) {
        if (maiuscole && std::isalpha(c))
            r += char(st.tra(2) ? std::toupper(c) : std::tolower(c));
        else
            r += char(c);
    }
    if (maiuscole)
        ++st.conteggi[r.substr(r.size() - t.size()) != t ? "chiave-maiuscole" : "chiave"];
    Risultato(ctx, r);
}

// forma(genere, valore): the SQL function the rewriting statements call for every value.
void Forma(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Stato& st = *static_cast<Stato*>(sqlite3_user_data(ctx));
    const std::string genere = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (genere == "data")
        FormaData(ctx, st, argv[1]);
    else if (genere == "numero" || genere == "valuta")
        FormaNumero(ctx, st, argv[1], genere == "valuta");
    else if (genere == "sino")
        FormaSiNo(ctx, st, argv[1]);
    else
        FormaChiave(ctx, st, argv[1]);
}

std::string Maiuscolo(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The kind of a column from its declared type and name; empty when it is left alone.
std::string GenereColonna(const std::string& tabella, const std::string& colonna, const std::string& tipo)
{
    const std::string base = Maiuscolo(tipo.substr(0, tipo.find('(')));
    if (base == "DATETIME" || base == "DATE")
        return "data";
    if (base == "CURRENCY" || base == "MONEY")
        return "valuta";
    if (base == "BYTE" || base == "SHORT" || base == "LONG" || base == "SINGLE" || base == "DOUBLE" || base == "COUNTER"
        || base == "INTEGER" || base == "DECIMAL")
        return "numero";
    if (base == "YESNO" || base == "BIT" || base == "BOOLEAN")
        return "sino";
    const auto codici = kCodici.find(Maiuscolo(tabella));
    if (codici != kCodici.end() && codici->second.count(Maiuscolo(colonna)) != 0)
        return "chiave";
    return {};
}

std::string Virgolette(const std::string& nome)
{
    std::string r = "\"";
    for (char c : nome)
        r += c == '"' ? std::string("\"\"") : std::string(1, c);
    return r + "\"";
}

std::vector<std::string> Colonna0(sqlite3* db, const std::string& sql, int colonna = 0)
{
    std::vector<std::string> r;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, colonna);
            r.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
        }
    }
    sqlite3_finalize(st);
    return r;
}

int Uso()
{
    std::fprintf(stderr, "Uso: corvale-forme ARCHIVIO SEME [--forme F1,F2,...] [--ore]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Uso();
    Stato st;
    char* fine = nullptr;
    st.seme = std::strtoull(argv[2], &fine, 10);
    if (*argv[2] == '\0' || *fine != '\0')
        return Uso();
    std::set<std::string> tutte;
    for (const auto* elenco : {&kFormeDate, &kFormeNumeri, &kFormeSiNo, &kFormeChiavi})
        tutte.insert(elenco->begin(), elenco->end());
    st.abilitate = tutte;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ore") {
            st.ore = true;
        } else if (a == "--forme" && i + 1 < argc) {
            st.abilitate.clear();
            std::string elenco = argv[++i];
            for (std::size_t p = 0; p <= elenco.size();) {
                const std::size_t q = std::min(elenco.find(',', p), elenco.size());
                const std::string f = elenco.substr(p, q - p);
                bool famiglia = false;
                for (const std::string& t : tutte) {
                    if (t.rfind(f + "-", 0) == 0) {
                        st.abilitate.insert(t);
                        famiglia = true;
                    }
                }
                if (f == "tutte") {
                    st.abilitate = tutte;
                } else if (!f.empty() && f != "motore" && !famiglia) {
                    if (tutte.count(f) == 0) {
                        std::fprintf(stderr, "Forma sconosciuta: %s\n", f.c_str());
                        return 2;
                    }
                    st.abilitate.insert(f);
                }
                p = q + 1;
            }
        } else {
            return Uso();
        }
    }
    st.caso.seed(st.seme);

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "Impossibile aprire %s: %s\n", argv[1], sqlite3_errmsg(db));
        sqlite3_close(db);
        return 2;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_create_function(db, "forma", 2, SQLITE_UTF8, &st, Forma, nullptr, nullptr);
    std::string sql = "BEGIN IMMEDIATE;\n";
    for (const std::string& tabella :
         Colonna0(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'MSys%' "
                      "AND name NOT LIKE 'sqlite%' ORDER BY rowid")) {
        std::string assegna;
        const std::string info = "SELECT name, type FROM pragma_table_info(" + Virgolette(tabella) + ")";
        const std::vector<std::string> nomi = Colonna0(db, info, 0), tipi = Colonna0(db, info, 1);
        for (std::size_t c = 0; c < nomi.size(); ++c) {
            const std::string genere = GenereColonna(tabella, nomi[c], tipi[c]);
            if (genere.empty())
                continue;
            assegna += (assegna.empty() ? "" : ", ") + Virgolette(nomi[c]) + " = forma('" + genere + "', "
                       + Virgolette(nomi[c]) + ")";
        }
        if (!assegna.empty())
            sql += "UPDATE " + Virgolette(tabella) + " SET " + assegna + ";\n";
    }
    sql += "COMMIT;\n";
    char* errore = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &errore) != SQLITE_OK) {
        std::fprintf(stderr, "Riscrittura non riuscita: %s\n", errore ? errore : "");
        sqlite3_free(errore);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return 2;
    }
    sqlite3_close(db);
    for (const std::string& f : st.abilitate)
        st.conteggi[f] += 0;  // an enabled form no value could take shows as 0
    for (const auto& [forma, n] : st.conteggi)
        std::printf("%s %ld\n", forma.c_str(), n);
    return 0;
}
