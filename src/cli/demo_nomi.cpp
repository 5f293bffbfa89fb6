#include "demo_nomi.h"

#include <iterator>

namespace corvale::cli::demo {

namespace {

const char* const kNomi[] = {"Marco",   "Giulia",   "Luca",     "Francesca",  "Andrea",  "Chiara",  "Paolo",
                             "Sara",    "Giovanni", "Elena",    "Alessandro", "Martina", "Stefano", "Valentina",
                             "Roberto", "Federica", "Matteo",   "Silvia",     "Davide",  "Laura",   "Simone",
                             "Anna",    "Giorgio",  "Elisa",    "Fabio",      "Monica",  "Antonio", "Roberta",
                             "Michele", "Paola",    "Riccardo", "Cristina",   "Nicola",  "Barbara"};

const char* const kCognomi[] = {"Rossi",   "Russo",     "Ferrari",  "Esposito",  "Bianchi",    "Romano",  "Colombo",
                                "Ricci",   "Marino",    "Greco",    "Bruno",     "Gallo",      "Conti",   "De Luca",
                                "Mancini", "Costa",     "Giordano", "Rizzo",     "Lombardi",   "Moretti", "Barbieri",
                                "Fontana", "Santoro",   "Mariani",  "Rinaldi",   "Caruso",     "Ferrara", "Galli",
                                "Martini", "Leone",     "Longo",    "Gentile",   "Martinelli", "Vitale",  "Serra",
                                "Coppola", "De Santis", "D'Angelo", "Marchetti", "Parisi",     "Villa",   "Conte",
                                "Ferraro"};

const char* const kAttivita[] = {"Ferramenta", "Edilizia",      "Impianti",    "Arredamenti", "Alimentari",
                                 "Forniture",  "Elettronica",   "Tessuti",     "Meccanica",   "Serramenti",
                                 "Ceramiche",  "Distribuzione", "Utensileria", "Idraulica",   "Termotecnica",
                                 "Cartoleria", "Commerciale",   "Trasporti"};

const char* const kFormeSociali[] = {"S.r.l.", "S.p.A.", "S.n.c.", "S.a.s.", "& C. S.n.c.", "S.r.l.s."};

const Citta kCitta[] = {{"Milano", "20121", "MI"},
                        {"Roma", "00184", "RM"},
                        {"Torino", "10121", "TO"},
                        {"Napoli", "80133", "NA"},
                        {"Bologna", "40121", "BO"},
                        {"Firenze", "50122", "FI"},
                        {"Genova", "16121", "GE"},
                        {"Verona", "37121", "VR"},
                        {"Padova", "35122", "PD"},
                        {"Bergamo", "24121", "BG"},
                        {"Brescia", "25121", "BS"},
                        {"Vicenza", "36100", "VI"},
                        {"Treviso", "31100", "TV"},
                        {"Modena", "41121", "MO"},
                        {"Parma", "43121", "PR"},
                        {"Reggio nell'Emilia", "42121", "RE"},
                        {"Bari", "70121", "BA"},
                        {"Palermo", "90133", "PA"},
                        {"Catania", "95124", "CT"},
                        {"Cagliari", "09124", "CA"},
                        {"Perugia", "06121", "PG"},
                        {"Ancona", "60121", "AN"},
                        {"Pescara", "65121", "PE"},
                        {"Trento", "38122", "TN"},
                        {"Udine", "33100", "UD"},
                        {"Como", "22100", "CO"},
                        {"Lecce", "73100", "LE"},
                        {"Sesto San Giovanni", "20099", "MI"},
                        {"Cinisello Balsamo", "20092", "MI"},
                        {"Castelfranco Veneto", "31033", "TV"},
                        {"Civitanova Marche", "62012", "MC"}};

const char* const kVie[] = {"Via Roma",
                            "Via Garibaldi",
                            "Corso Italia",
                            "Via Mazzini",
                            "Via Verdi",
                            "Viale Europa",
                            "Via Dante",
                            "Via Cavour",
                            "Piazza della Repubblica",
                            "Via Marconi",
                            "Via Matteotti",
                            "Via XX Settembre",
                            "Corso Vittorio Emanuele",
                            "Via dell'Industria",
                            "Via dei Mille",
                            "Via Leonardo da Vinci",
                            "Viale della Vittoria",
                            "Via San Francesco",
                            "Via Manzoni",
                            "Via del Lavoro",
                            "Via Nazionale",
                            "Via Carducci",
                            "Via Gramsci"};

const char* const kOggetti[] = {"Trapano", "Avvitatore", "Smerigliatrice", "Pannello",     "Rubinetto",  "Miscelatore",
                                "Lampada", "Sedia",      "Scrivania",      "Scaffale",     "Piastrella", "Vernice",
                                "Tubo",    "Valvola",    "Cavo",           "Interruttore", "Cassetta",   "Guanto",
                                "Casco",   "Chiave",     "Cacciavite",     "Martello",     "Sega",       "Morsa",
                                "Pompa",   "Radiatore",  "Caldaia",        "Termostato",   "Presa",      "Faretto"};

const char* const kQualita[] = {"professionale", "in acciaio inox",        "a batteria", "da esterno",   "con custodia",
                                "compatto",      "a risparmio energetico", "in ottone",  "regolabile",   "ergonomico",
                                "antiscivolo",   "per uso industriale",    "zincato",    "in alluminio", "modulare"};

const char* const kMisure[] = {"PZ", "CF", "KG", "MT", "LT", "CT"};

const char* const kBanche[] = {"Banca Popolare di Sondrio", "Credito Emiliano",           "Banca Sella",
                               "Banca di Cividale",         "Cassa di Risparmio di Asti", "Banca Popolare di Bari",
                               "Credito Valtellinese",      "Banca Agricola Mantovana",   "Cassa Rurale di Trento",
                               "Banca del Piemonte"};

const char* const kAppuntamenti[] = {"Visita al cliente per presentazione del nuovo catalogo",
                                     "Telefonare per conferma dell'ordine",
                                     "Consegna campionatura",
                                     "Sollecito pagamento fattura scaduta",
                                     "Riunione con l'agente di zona",
                                     "Verifica delle condizioni di listino",
                                     "Inviare offerta aggiornata",
                                     "Sopralluogo in cantiere"};

const char* const kLinee[] = {"Utensileria manuale", "Elettroutensili",      "Idraulica",    "Materiale elettrico",
                              "Illuminazione",       "Arredo ufficio",       "Ferramenta",   "Vernici e colori",
                              "Riscaldamento",       "Sicurezza sul lavoro", "Giardinaggio", "Minuteria"};

template <typename T, size_t N>
const T& scegli(Caso& c, const T (&lista)[N])
{
    return lista[c.fino(int(N))];
}

QString cifre(Caso& c, int quante)
{
    QString s(quante, QLatin1Char('0'));
    for (int i = 0; i < quante; ++i)
        s[i] = QLatin1Char(char('0' + c.fino(10)));
    return s;
}

QString semplice(const QString& s)
{
    QString r;
    for (QChar ch : s) {
        if (ch.isLetterOrNumber())
            r += ch.toLower();
    }
    return r;
}

}  // namespace

Caso Caso::per(quint64 seme, quint32 tabella, qint64 i)
{
    Caso c(seme ^ (quint64(tabella) * 0x9E3779B97F4A7C15ull) ^ (quint64(i) * 0xD1B54A32D192ED03ull));
    c.prossimo();
    return c;
}

quint64 Caso::prossimo()
{
    quint64 z = (stato_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

QString Nome(Caso& c) { return QString::fromUtf8(scegli(c, kNomi)); }
QString Cognome(Caso& c) { return QString::fromUtf8(scegli(c, kCognomi)); }

QString Persona(Caso& c)
{
    const QString cognome = Cognome(c);
    return cognome + QLatin1Char(' ') + Nome(c);
}

QString Societa(Caso& c)
{
    const char* attivita = scegli(c, kAttivita);
    const char* forma = scegli(c, kFormeSociali);
    switch (c.fino(3)) {
    case 0:
        return QString::fromUtf8(attivita) + QLatin1Char(' ') + Cognome(c) + QLatin1Char(' ')
               + QString::fromUtf8(forma);
    case 1: {
        const QString a = Cognome(c);
        return a + QStringLiteral(" & ") + Cognome(c) + QLatin1Char(' ') + QString::fromUtf8(forma);
    }
    default:
        return QString::fromUtf8(attivita) + QLatin1Char(' ') + QString::fromUtf8(UnaCitta(c).nome) + QLatin1Char(' ')
               + QString::fromUtf8(forma);
    }
}

const Citta& UnaCitta(Caso& c) { return scegli(c, kCitta); }

QString Indirizzo(Caso& c)
{
    return QString::fromUtf8(scegli(c, kVie)) + QStringLiteral(", ") + QString::number(1 + c.fino(180));
}

QString Prodotto(Caso& c)
{
    const char* oggetto = scegli(c, kOggetti);
    return QString::fromUtf8(oggetto) + QLatin1Char(' ') + QString::fromUtf8(scegli(c, kQualita)) + QLatin1Char(' ')
           + QString::number(1 + c.fino(99));
}

QString UnitaMisura(Caso& c) { return QString::fromLatin1(scegli(c, kMisure)); }
QString Banca(Caso& c) { return QString::fromUtf8(scegli(c, kBanche)); }
QString PartitaIva(Caso& c) { return cifre(c, 11); }

QString Telefono(Caso& c) { return QStringLiteral("0") + cifre(c, 2) + QLatin1Char(' ') + cifre(c, 7); }

QString Email(const QString& nome, Caso& c)
{
    static const char* const domini[] = {"libero.it", "gmail.com", "tiscali.it", "alice.it", "pec.it"};
    return semplice(nome).left(30) + QLatin1Char('@') + QString::fromLatin1(scegli(c, domini));
}

QString NotaAgenda(Caso& c) { return QString::fromUtf8(scegli(c, kAppuntamenti)); }

QString DescrizioneLinea(int i)
{
    const int n = int(std::size(kLinee));
    if (i < n)
        return QString::fromUtf8(kLinee[i]);
    return QString::fromUtf8(kLinee[i % n]) + QStringLiteral(" serie ") + QString::number(i / n + 1);
}

}  // namespace corvale::cli::demo
