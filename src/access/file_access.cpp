// The Access file through libmdb: the checks made before libmdb sees the file, the catalogue of
// user tables translated into the engine's terms, and the record walk.
#include "file_access.h"

#include "proprieta_access.h"

#include "dbengine/db_types.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mdbtools.h>

namespace corvale::access {

namespace {

constexpr int kIntestazione = 0x20;
constexpr char kFirmaJet[] = "Standard Jet DB";
constexpr char kFirmaAce[] = "Standard ACE DB";
constexpr int kIndicePrimario = 1;
constexpr int kIndiceRelazione = 2;  // the other side of a relationship, not an index of its own
constexpr int kMascheraPosizione = 0x1FFF;  // a row's offset in its page, without the flag bits
constexpr int kDataEstesa = 0x14;  // Date/Time Extended of ACE: its value stored as a text
constexpr int kMaxAllegato = 1 << 30;

// What a complex field of ACE holds, from the type MSysComplexColumns names for it.
enum class Complesso { Allegati, Valori, Storia };

// The complex fields of the file: for the table whose definition is at a page and a field of it,
// what it holds and the page of the hidden table its values are in.
struct CampoComplesso {
    Complesso tipo = Complesso::Valori;
    guint32 piatta = 0;
};
using Complessi = QMap<QPair<guint32, QString>, CampoComplesso>;


// The page size the header's version implies, or 0 when the header is not an Access one.
int dimensionePagina(const QByteArray& testa)
{
    if (testa.size() < kIntestazione || testa.at(0) != 0 || testa.at(1) != 1)
        return 0;
    const QByteArray firma = testa.mid(4, 15);
    if (firma != kFirmaJet && firma != kFirmaAce)
        return 0;
    return testa.at(0x14) == 0 ? 2048 : 4096;
}

QString testo(const char* s) { return QString::fromUtf8(s); }

short tipoMotore(int tipoAccess)
{
    switch (tipoAccess) {
    case MDB_BOOL: return dbe::dbBoolean;
    case MDB_BYTE: return dbe::dbByte;
    case MDB_INT: return dbe::dbInteger;
    case MDB_LONGINT: return dbe::dbLong;
    case MDB_MONEY: return dbe::dbCurrency;
    case MDB_FLOAT: return dbe::dbSingle;
    case MDB_DOUBLE: return dbe::dbDouble;
    case MDB_DATETIME: return dbe::dbDate;
    case MDB_BINARY: return dbe::dbBinary;
    case MDB_TEXT: return dbe::dbText;
    case MDB_OLE: return dbe::dbLongBinary;
    case MDB_MEMO: return dbe::dbMemo;
    case MDB_REPID: return dbe::dbGUID;
    case MDB_NUMERIC: return dbe::dbDecimal;
    case kDataEstesa: return dbe::dbText;
    default: return 0;  // the complex fields of ACE, seen apart
    }
}

bool proprietaSi(const MdbColumn* col, const char* nome)
{
    const char* v = mdb_col_get_prop(col, nome);
    return v && std::strcmp(v, "yes") == 0;
}

CampoAccess campo(const MdbColumn* col, int colonna)
{
    CampoAccess c;
    c.nome = testo(col->name);
    c.tipo = tipoMotore(col->col_type);
    c.colonna = colonna;
    if (col->col_type == kDataEstesa) {
        c.dimensione = qBound(1, int(col->col_size), 255);
        c.attributi = dbe::dbVariableField;
    } else if (c.tipo == dbe::dbText || c.tipo == dbe::dbBinary) {
        // Jet 4 and ACE give text sizes in bytes of UCS-2; Jet 3 in characters.
        c.dimensione = col->col_size;
        if (c.tipo == dbe::dbText && col->table->entry->mdb->f->jet_version != MDB_VER_JET3)
            c.dimensione /= 2;
        c.dimensione = qBound(1, c.dimensione, 255);
        c.attributi = col->is_fixed ? dbe::dbFixedField : dbe::dbVariableField;
    }
    if (c.tipo == dbe::dbLong && col->is_long_auto)
        c.attributi |= dbe::dbAutoIncrField;
    c.richiesto = proprietaSi(col, "Required");
    c.lunghezzaZero = (c.tipo == dbe::dbText || c.tipo == dbe::dbMemo) && proprietaSi(col, "AllowZeroLength");
    return c;
}

void leggiIndici(MdbTableDef* t, TabellaAccess& tab)
{
    for (unsigned i = 0; i < t->indices->len; ++i) {
        const MdbIndex* idx = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
        if (idx->index_type == kIndiceRelazione)
            continue;
        IndiceAccess ix;
        ix.nome = testo(idx->name);
        ix.primario = idx->index_type == kIndicePrimario;
        ix.univoco = ix.primario || (idx->flags & MDB_IDX_UNIQUE);
        ix.ignoraNull = idx->flags & MDB_IDX_IGNORENULLS;
        ix.richiesto = ix.primario || (idx->flags & MDB_IDX_REQUIRED);
        bool leggibile = idx->num_keys > 0;
        bool senzaCampo = false;
        bool complesso = false;
        for (unsigned k = 0; k < idx->num_keys && leggibile; ++k) {
            const int n = idx->key_col_num[k];
            if (n < 1 || unsigned(n) > t->num_cols) {
                leggibile = false;
                break;
            }
            const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, n - 1));
            // Access's hidden index on a complex field, or an index on a field left out
            const bool portato = std::any_of(tab.campi.cbegin(), tab.campi.cend(),
                                             [n](const CampoAccess& c) { return c.colonna == n - 1; });
            if (!portato || col->col_type == MDB_COMPLEX) {
                senzaCampo = true;
                complesso = col->col_type == MDB_COMPLEX;
                break;
            }
            ix.campi.append({testo(col->name), idx->key_col_order[k] == MDB_DESC});
        }
        if (senzaCampo) {
            tab.saltati
                << (complesso ? QStringLiteral("indice %1: indice interno di Access su un campo complesso").arg(ix.nome)
                              : QStringLiteral("indice %1: su un campo non importato").arg(ix.nome));
            continue;
        }
        if (!leggibile) {
            tab.saltati << QStringLiteral("indice %1: i suoi campi non sono leggibili nel file").arg(ix.nome);
            continue;
        }
        tab.indici.append(ix);
    }
    std::sort(tab.indici.begin(), tab.indici.end(), [](const IndiceAccess& a, const IndiceAccess& b) {
        return a.nome.compare(b.nome, Qt::CaseInsensitive) < 0;
    });
}

TabellaAccess descrivi(MdbTableDef* t, const Complessi& complessi)
{
    TabellaAccess tab;
    tab.nome = testo(t->name);
    for (unsigned i = 0; i < t->num_cols; ++i) {
        const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        CampoAccess c = campo(col, int(i));
        if (const char* espressione = mdb_col_get_prop(col, "Expression")) {
            tab.saltati << QStringLiteral("campo %1: calcolato (%2), non importato").arg(c.nome, testo(espressione));
            continue;
        }
        if (col->col_type == MDB_COMPLEX) {
            const auto k = complessi.constFind({guint32(t->entry->table_pg), c.nome});
            if (k == complessi.cend()) {
                tab.saltati << QStringLiteral("campo %1: campo complesso di tipo sconosciuto").arg(c.nome);
                continue;
            }
            if (k->tipo == Complesso::Storia) {
                tab.saltati << QStringLiteral("campo %1: storia delle versioni di un campo Memo di sola aggiunta, "
                                              "non importata (il campo ne ha il testo attuale)")
                                   .arg(c.nome);
                continue;
            }
            c.tipo = dbe::dbLong;  // the number its values in the child table are linked by
        }
        if (c.tipo == 0) {
            tab.saltati << QStringLiteral("campo %1: tipo Access %2 senza equivalente").arg(c.nome).arg(col->col_type);
            continue;
        }
        tab.campi.append(c);
    }
    leggiIndici(t, tab);
    tab.proprieta = ProprietaTabella(t->props, &tab.saltati);
    tab.attesi = t->num_rows;
    return tab;
}

// True when every page the table's usage map names lies within the file: a file cut short at a
// page boundary still opens, and libmdb would read its missing pages as empty.
bool paginePresenti(MdbHandle* mdb, MdbTableDef* t, qint64 pagine)
{
    if (qint64(t->entry->table_pg) >= pagine)
        return false;
    gint32 pg = 0;
    while ((pg = mdb_map_find_next(mdb, t->usage_map, guint(t->map_sz), guint32(pg))) > 0)
        if (pg >= pagine)
            return false;
    return true;
}

// Days since 30 December 1899, the fraction being the time of day (also for dates before it).
QDateTime dataDaAccess(double v)
{
    double giorni = 0;
    const double frazione = std::modf(v, &giorni);
    qint64 secondi = std::llround(std::fabs(frazione) * 86400.0);
    QDate data = QDate(1899, 12, 30).addDays(qint64(giorni));
    if (secondi >= 86400) {
        data = data.addDays(1);
        secondi -= 86400;
    }
    return QDateTime(data, QTime(0, 0).addSecs(int(secondi)), Qt::UTC);
}


// A Jet 4 or ACE text as stored: UTF-16 (little endian), "compressed" when it begins with FF FE:
// then runs of one byte per character (the high byte zero) and runs of two, switched by a zero
// byte. Characters beyond the Basic Multilingual Plane come as their surrogate pairs.
QString testoUnicode(const unsigned char* p, size_t n)
{
    QString out;
    out.reserve(qsizetype(n));
    size_t i = 0;
    const bool compresso = n >= 2 && p[0] == 0xFF && p[1] == 0xFE;
    if (!compresso) {
        for (; i + 1 < n; i += 2)
            out += QChar(char16_t(p[i] | (p[i + 1] << 8)));
        return out;
    }
    bool unByte = true;
    for (i = 2; i < n;) {
        if (p[i] == 0) {
            unByte = !unByte;
            ++i;
        } else if (unByte) {
            out += QChar(char16_t(p[i++]));
        } else if (i + 1 < n) {
            out += QChar(char16_t(p[i] | (p[i + 1] << 8)));
            i += 2;
        } else {
            break;
        }
    }
    return out;
}

// The iconv name of a Windows code page, as Access 97 records it in the file's header.
QByteArray nomeCodePage(int codePage)
{
    switch (codePage) {
    case 0: return QByteArrayLiteral("CP1252");  // not recorded: Western European, Access's default
    case 936: return QByteArrayLiteral("GBK");
    case 950: return QByteArrayLiteral("BIG5");
    default: return QByteArrayLiteral("CP") + QByteArray::number(codePage);
    }
}

// An Access 97 file's texts, in the code page its header names, decoded to Unicode.
class CodePage {
public:
    explicit CodePage(int codePage) : cd_(iconv_open("UTF-16LE", nomeCodePage(codePage).constData()))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            cd_ = iconv_open("UTF-16LE", "CP1252");
    }
    ~CodePage()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // A byte no character of the code page stands for becomes U+FFFD.
    QString Testo(const unsigned char* p, size_t n) const
    {
        QString out;
        std::vector<char16_t> buf(n * 2 + 4);
        char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
        size_t restano = n;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        while (restano > 0) {
            char* o = reinterpret_cast<char*>(buf.data());
            size_t spazio = buf.size() * sizeof(char16_t);
            const size_t r = iconv(cd_, &in, &restano, &o, &spazio);
            out += QStringView(buf.data(), qsizetype((o - reinterpret_cast<char*>(buf.data())) / 2));
            if (r == size_t(-1) && restano > 0 && errno != E2BIG) {
                out += QChar(QChar::ReplacementCharacter);
                ++in;
                --restano;
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

QString MessaggioIlleggibile(const QString& path)
{
    return QStringLiteral("Il file '%1' non può essere letto come file Access: è danneggiato, cifrato "
                          "o protetto da password.")
        .arg(QDir::toNativeSeparators(path));
}

ErroreAccess::ErroreAccess(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

QByteArray ContenutoAllegato(const QByteArray& memorizzato, bool* ok)
{
    // Eight bytes: 1 when what follows is deflate-compressed (a zlib stream), 0 when not, and the
    // length of what follows once uncompressed. That is a header (its own length, a number, the
    // file's extension in UTF-16 ending with a zero), then the file's bytes.
    const auto intero = [](const QByteArray& b, qsizetype i) {
        return qint64(qFromLittleEndian<quint32>(b.constData() + i));
    };
    if (ok)
        *ok = false;
    if (memorizzato.size() < 8)
        return {};
    const qint64 compresso = intero(memorizzato, 0);
    const qint64 lunghezza = intero(memorizzato, 4);
    if (lunghezza < 8 || lunghezza > kMaxAllegato || compresso > 1)
        return {};
    QByteArray contenuto;
    if (compresso == 1) {
        QByteArray flusso(4, '\0');
        qToBigEndian<quint32>(quint32(lunghezza), flusso.data());  // the length qUncompress expects first
        contenuto = qUncompress(flusso + memorizzato.mid(8));
    } else if (memorizzato.size() - 8 == lunghezza) {
        contenuto = memorizzato.mid(8);
    }
    if (contenuto.size() != lunghezza)
        return {};
    const qint64 intestazione = intero(contenuto, 0);
    if (intestazione < 8 || intestazione > lunghezza)
        return {};
    if (ok)
        *ok = true;
    return contenuto.mid(intestazione);
}

bool SembraFileAccess(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return dimensionePagina(f.read(kIntestazione)) != 0;
}

struct FileAccess::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;  // one owner closes the handle
    Impl& operator=(const Impl&) = delete;

    MdbHandle* mdb = nullptr;
    QVector<TabellaAccess> tabelle;
    QString path;
    Complessi complessi;

    MdbCatalogEntry* voce(guint32 pagina) const
    {
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            MdbCatalogEntry* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (e->object_type == MDB_TABLE && guint32(e->table_pg) == pagina)
                return e;
        }
        return nullptr;
    }

    // MSysComplexColumns, in an ACE file: for each complex field, its table, the type it holds
    // (a table named after it) and its hidden table of values.
    void leggiComplessi(qint64 pagine)
    {
        MdbCatalogEntry* e = mdb_get_catalogentry_by_name(mdb, "MSysComplexColumns");
        if (!e || e->object_type != MDB_TABLE || qint64(e->table_pg) >= pagine)
            return;
        MdbTableDef* t = mdb_read_table(e);
        if (!t || !paginePresenti(mdb, t, pagine) || !mdb_read_columns(t)) {
            if (t)
                mdb_free_tabledef(t);
            throw ErroreAccess(MessaggioIlleggibile(path));
        }
        const char* nomi[] = {"ColumnName", "ComplexTypeObjectID", "FlatTableID", "ConceptualTableID"};
        std::vector<std::vector<char>> valori(4, std::vector<char>(size_t(mdb->bind_size) + 1, '\0'));
        bool legati = true;
        for (int i = 0; i < 4; ++i)
            legati = legati
                     && mdb_bind_column_by_name(t, const_cast<char*>(nomi[i]), valori[size_t(i)].data(), nullptr) >= 0;
        if (legati) {
            mdb_rewind_table(t);
            while (mdb_fetch_row(t)) {
                const MdbCatalogEntry* tipo = voce(guint32(std::atol(valori[1].data())));
                const QString nomeTipo = tipo ? testo(tipo->object_name) : QString();
                CampoComplesso c;
                c.tipo = nomeTipo.startsWith(QLatin1String("MSysComplexTypeVH_"))  ? Complesso::Storia
                         : nomeTipo == QLatin1String("MSysComplexType_Attachment") ? Complesso::Allegati
                                                                                   : Complesso::Valori;
                c.piatta = guint32(std::atol(valori[2].data()));
                complessi.insert({guint32(std::atol(valori[3].data())), testo(valori[0].data())}, c);
            }
        }
        for (unsigned i = 0; i < t->num_cols; ++i) {
            MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            col->bind_ptr = nullptr;
            col->len_ptr = nullptr;
        }
        mdb_free_tabledef(t);
        if (!legati)
            throw ErroreAccess(MessaggioIlleggibile(path));
    }

    // The child table of an attachment or multi-value field: the number that links its records
    // to the parent's, under the parent field's name, then the values of the hidden table (its
    // own numbering left out).
    TabellaAccess figlio(const TabellaAccess& genitore, const CampoAccess& campoGenitore, qint64 pagine)
    {
        const CampoComplesso k = complessi.value({guint32(voceDi(genitore.nome)), campoGenitore.nome});
        MdbCatalogEntry* e = voce(k.piatta);
        if (!e || qint64(e->table_pg) >= pagine)
            throw ErroreAccess(MessaggioIlleggibile(path));
        MdbTableDef* t = mdb_read_table(e);
        if (!t || !paginePresenti(mdb, t, pagine) || !mdb_read_columns(t)) {
            if (t)
                mdb_free_tabledef(t);
            throw ErroreAccess(MessaggioIlleggibile(path));
        }
        TabellaAccess f;
        f.piatta = testo(e->object_name);
        f.genitore = genitore.nome;
        f.campoGenitore = campoGenitore.nome;
        for (unsigned i = 0; i < t->num_cols; ++i) {
            const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            CampoAccess c = campo(col, int(i));
            if (c.nome == QLatin1Char('_') + campoGenitore.nome) {
                c.nome = campoGenitore.nome;
                f.campi.prepend(c);
            } else if (c.nome == genitore.nome + QLatin1Char('_') + campoGenitore.nome) {
                continue;
            } else if (c.tipo == 0) {
                f.saltati
                    << QStringLiteral("campo %1: tipo Access %2 senza equivalente").arg(c.nome).arg(col->col_type);
            } else {
                c.allegato = k.tipo == Complesso::Allegati && c.nome == QLatin1String("FileData");
                f.campi.append(c);
            }
        }
        f.attesi = t->num_rows;
        mdb_free_tabledef(t);
        if (f.campi.isEmpty() || f.campi.first().nome != campoGenitore.nome)
            throw ErroreAccess(MessaggioIlleggibile(path));
        IndiceAccess ix;
        ix.nome = campoGenitore.nome;
        ix.campi.append({campoGenitore.nome, false});
        f.indici.append(ix);
        return f;
    }
    qint64 voceDi(const QString& tabella) const
    {
        const QByteArray nome = tabella.toUtf8();
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            const MdbCatalogEntry* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (e->object_type == MDB_TABLE && nome == e->object_name)
                return e->table_pg;
        }
        return -1;
    }

    // Each child table gets its parent's name and its field's, joined by "_", with a number after
    // them when a table of the file already has that name.
    void nominaFigli()
    {
        const auto usato = [this](const QString& nome) {
            return std::any_of(tabelle.cbegin(), tabelle.cend(),
                               [&](const TabellaAccess& t) { return t.nome.compare(nome, Qt::CaseInsensitive) == 0; });
        };
        for (TabellaAccess& t : tabelle) {
            if (t.genitore.isEmpty())
                continue;
            const QString base = t.genitore + QLatin1Char('_') + t.campoGenitore;
            QString nome = base;
            for (int n = 2; usato(nome); ++n)
                nome = base + QLatin1Char('_') + QString::number(n);
            t.nome = nome;
        }
    }

    ~Impl()
    {
        if (mdb)
            mdb_close(mdb);
    }

    // Checks a table of the catalogue (system tables too) against the file's pages; describes a
    // user table in tabelle.
    void leggiTabella(MdbCatalogEntry* e, qint64 pagine)
    {
        if (e->object_type != MDB_TABLE)
            return;
        if (qint64(e->table_pg) >= pagine)
            throw ErroreAccess(MessaggioIlleggibile(path));
        MdbTableDef* t = mdb_read_table(e);
        const bool utente = mdb_is_user_table(e);
        const bool integra = !t || paginePresenti(mdb, t, pagine);
        const bool leggibile = t && integra && (!utente || mdb_read_columns(t));
        // Index definitions that cannot be read mean a damaged file: libmdb then leaves the table
        // without its list of indexes (its result says nothing: it is Null also on success).
        bool indici = true;
        if (leggibile && utente) {
            mdb_read_indices(t);
            indici = t->indices != nullptr;
        }
        if (leggibile && utente && indici) {
            tabelle.append(descrivi(t, complessi));
            const TabellaAccess genitore = tabelle.last();
            for (const CampoAccess& c : genitore.campi) {
                const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c.colonna));
                if (col->col_type == MDB_COMPLEX)
                    tabelle.append(figlio(genitore, c, pagine));
            }
        }
        if (t)
            mdb_free_tabledef(t);
        if (!integra || (utente && !leggibile) || !indici)
            throw ErroreAccess(MessaggioIlleggibile(path));
    }
};

FileAccess::FileAccess(const QString& path) : d(std::make_unique<Impl>())
{
    d->path = path;
    QFile f(path);
    if (!f.exists())
        throw ErroreAccess(QStringLiteral("Il file '%1' non esiste.").arg(QDir::toNativeSeparators(path)));
    if (!f.open(QIODevice::ReadOnly))
        throw ErroreAccess(
            QStringLiteral("Il file '%1' non può essere aperto in lettura.").arg(QDir::toNativeSeparators(path)));
    const int pagina = dimensionePagina(f.read(kIntestazione));
    if (pagina == 0)
        throw ErroreAccess(QStringLiteral("Il file '%1' non è un file Access (Jet 3, Jet 4 o ACE).")
                               .arg(QDir::toNativeSeparators(path)));
    // A file cut short, or whose pages do not add up, is damaged: libmdb is not asked to read it.
    if (f.size() < 3 * pagina || f.size() % pagina != 0)
        throw ErroreAccess(MessaggioIlleggibile(path));
    const qint64 pagine = f.size() / pagina;
    f.close();

    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        throw ErroreAccess(MessaggioIlleggibile(path));
    if (d->mdb->f->db_key != 0)  // pages encoded with the file's key
        throw ErroreAccess(MessaggioIlleggibile(path));
    if (!mdb_read_catalog(d->mdb, MDB_ANY) || !mdb_get_catalogentry_by_name(d->mdb, "MSysObjects"))
        throw ErroreAccess(MessaggioIlleggibile(path));
    d->leggiComplessi(pagine);
    for (unsigned i = 0; i < d->mdb->num_catalog; ++i)
        d->leggiTabella(static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i)), pagine);
    d->nominaFigli();
}

FileAccess::~FileAccess() = default;

const QVector<TabellaAccess>& FileAccess::Tabelle() const { return d->tabelle; }
const QString& FileAccess::Percorso() const { return d->path; }

struct FileAccess::Lettura::Impl {
    MdbHandle* mdb = nullptr;
    MdbTableDef* t = nullptr;
    QVector<CampoAccess> campi;
    QVector<MdbColumn*> colonne;
    std::vector<std::unique_ptr<char[]>> buffer;  // OLE fields are read through their bound buffer
    std::vector<int> lunghezze;
    std::unique_ptr<CodePage> codePage;  // Access 97: texts in the file's code page
    QString percorso;
    // Which columns of the current record are Null, read only when a text of length zero asks:
    // libmdb gives Null and the empty text alike.
    mutable std::vector<unsigned char> nulli;
    mutable bool nulliLetti = false;

    QString testo(const unsigned char* p, size_t n) const
    {
        return codePage ? codePage->Testo(p, n) : testoUnicode(p, n);
    }
    // Whether the column (libmdb's number in the table) of the record just read is Null.
    bool nullo(int colonna) const
    {
        if (!nulliLetti) {
            nulliLetti = true;
            nulli.assign(t->num_cols, 1);
            int inizio = 0;
            size_t dimensione = 0;
            if (t->cur_row == 0 || mdb_find_row(mdb, int(t->cur_row) - 1, &inizio, &dimensione) != 0)
                return true;
            std::vector<MdbField> campi(t->num_cols);
            const int n = mdb_crack_row(t, inizio & kMascheraPosizione, dimensione, campi.data());
            for (int i = 0; i < n && i < int(t->num_cols); ++i)
                if (campi[size_t(i)].colnum >= 0 && campi[size_t(i)].colnum < int(t->num_cols))
                    nulli[size_t(campi[size_t(i)].colnum)] = campi[size_t(i)].is_null;
        }
        return colonna < 0 || size_t(colonna) >= nulli.size() || nulli[size_t(colonna)] != 0;
    }

    ~Impl()
    {
        for (MdbColumn* c : colonne) {
            c->bind_ptr = nullptr;
            c->len_ptr = nullptr;
        }
        if (t)
            mdb_free_tabledef(t);
    }
};

FileAccess::Lettura::Lettura(std::unique_ptr<Impl> dd) : d(std::move(dd)) {}
FileAccess::Lettura::~Lettura() = default;

std::unique_ptr<FileAccess::Lettura> FileAccess::Leggi(const QString& tabella) const
{
    auto l = std::make_unique<Lettura::Impl>();
    l->mdb = d->mdb;
    l->percorso = d->path;
    QString daLeggere = tabella;  // a child table's records are its hidden table's
    for (const TabellaAccess& tab : d->tabelle)
        if (tab.nome == tabella) {
            l->campi = tab.campi;
            if (!tab.piatta.isEmpty())
                daLeggere = tab.piatta;
        }
    // The catalogue read when the file was opened (reading a table by name would read it again).
    // (Forms and reports may carry a table's name: only tables are looked at.)
    const QByteArray nome = daLeggere.toUtf8();
    for (unsigned i = 0; i < d->mdb->num_catalog && !l->t; ++i) {
        MdbCatalogEntry* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d->mdb->catalog, i));
        if (e->object_type == MDB_TABLE && nome == e->object_name)
            l->t = mdb_read_table(e);
    }
    if (!l->t || !mdb_read_columns(l->t))
        throw ErroreAccess(MessaggioIlleggibile(d->path));
    l->lunghezze.resize(l->t->num_cols);
    for (const CampoAccess& c : l->campi) {
        MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(l->t->columns, c.colonna));
        l->colonne.append(col);
        if (col->col_type == MDB_OLE) {
            l->buffer.push_back(std::make_unique<char[]>(d->mdb->bind_size + 1));
            col->bind_ptr = l->buffer.back().get();
            col->len_ptr = &l->lunghezze[size_t(c.colonna)];
        }
    }
    if (d->mdb->f->jet_version == MDB_VER_JET3)
        l->codePage = std::make_unique<CodePage>(d->mdb->f->code_page);
    mdb_rewind_table(l->t);
    return std::unique_ptr<Lettura>(new Lettura(std::move(l)));
}

bool FileAccess::Lettura::Prossimo()
{
    d->nulliLetti = false;
    return mdb_fetch_row(d->t) != 0;
}

qint64 FileAccess::Lettura::Attesi() const { return d->t->num_rows; }

QVariant FileAccess::Lettura::Valore(int campo) const
{
    MdbColumn* col = d->colonne.at(campo);
    MdbHandle* mdb = d->mdb;
    const int inizio = col->cur_value_start;
    const int lunghezza = col->cur_value_len;
    if (col->col_type == MDB_BOOL)  // the null bit is the value: set means No
        return lunghezza == 0;
    if (lunghezza == 0 && inizio == 0) {
        // A text or memo present and empty is the empty text, not Null.
        const bool testuale = col->col_type == MDB_TEXT || col->col_type == MDB_MEMO;
        if (!testuale || d->nullo(d->campi.at(campo).colonna))
            return QVariant();
        return QStringLiteral("");
    }
    const unsigned char* p = mdb->pg_buf + inizio;
    switch (col->col_type) {
    case MDB_BYTE: return qint64(p[0]);
    case MDB_INT: return qint64(qint16(quint16(p[0] | (p[1] << 8))));
    case MDB_LONGINT:
    case MDB_COMPLEX: return qint64(qint32(quint32(mdb_get_int32(mdb->pg_buf, inizio))));
    case kDataEstesa: {  // its stored text, to the last digit of its precision
        QByteArray t(reinterpret_cast<const char*>(p), lunghezza);
        while (t.endsWith('\0') || t.endsWith(' '))
            t.chop(1);
        return QString::fromLatin1(t);
    }
    case MDB_MONEY: {
        quint64 u = 0;
        for (int i = 7; i >= 0; --i)
            u = (u << 8) | p[i];
        return qint64(u);  // ten-thousandths, exactly
    }
    case MDB_FLOAT: return double(mdb_get_single(mdb->pg_buf, inizio));
    case MDB_DOUBLE: return mdb_get_double(mdb->pg_buf, inizio);
    case MDB_DATETIME: return dataDaAccess(mdb_get_double(mdb->pg_buf, inizio));
    case MDB_BINARY: return QByteArray(reinterpret_cast<const char*>(p), lunghezza);
    case MDB_OLE: {
        size_t dimensione = 0;
        void* dati = mdb_ole_read_full(mdb, col, &dimensione);
        QByteArray b(static_cast<const char*>(dati), qsizetype(dimensione));
        g_free(dati);
        if (!d->campi.at(campo).allegato)
            return b;
        bool ok = false;
        const QByteArray contenuto = ContenutoAllegato(b, &ok);
        if (!ok)
            throw ErroreAccess(
                QStringLiteral("Il file '%1' è danneggiato: un allegato del campo '%2' non si può leggere.")
                    .arg(QDir::toNativeSeparators(d->percorso), d->campi.at(campo).nome));
        return contenuto;
    }
    case MDB_REPID: {
        char* s = mdb_uuid_to_string_fmt(mdb->pg_buf, inizio, MDB_NOBRACES_4_2_2_2_6);
        const QString guid = QLatin1Char('{') + QString::fromLatin1(s).toUpper() + QLatin1Char('}');
        g_free(s);
        return guid;
    }
    case MDB_TEXT: return d->testo(p, size_t(lunghezza));
    case MDB_NUMERIC: {
        char* s = mdb_numeric_to_string(mdb, inizio, col->col_scale, col->col_prec);
        const QString n = QString::fromLatin1(s);
        g_free(s);
        return n;
    }
    default: {  // memo: every page of it, read as an OLE field's through a scratch binding, then
                // decoded as a text
        if (lunghezza < MDB_MEMO_OVERHEAD)
            return QStringLiteral("");
        std::vector<char> legame(mdb->bind_size + 1);
        std::memcpy(legame.data(), p, MDB_MEMO_OVERHEAD);
        col->bind_ptr = legame.data();
        size_t dimensione = 0;
        void* dati = mdb_ole_read_full(mdb, col, &dimensione);
        col->bind_ptr = nullptr;
        const QString t = dati ? d->testo(static_cast<const unsigned char*>(dati), dimensione) : QString();
        g_free(dati);
        return t.isNull() ? QStringLiteral("") : t;
    }
    }
}

}  // namespace corvale::access
