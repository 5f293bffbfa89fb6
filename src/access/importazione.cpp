#include "importazione.h"

#include "pulizia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace corvale::access {

namespace {

QString nativo(const QString& path) { return QDir::toNativeSeparators(path); }

void scrivi(dbe::Inserter& ins, int i, const QVariant& v, short tipo)
{
    if (tipo == dbe::dbCurrency && v.typeId() == QMetaType::LongLong) {
        ins.SetCurrency(i, v.toLongLong());
        return;
    }
    switch (v.typeId()) {
    case QMetaType::UnknownType: ins.SetNull(i); break;
    case QMetaType::Bool: ins.SetInteger(i, v.toBool() ? -1 : 0); break;
    case QMetaType::LongLong: ins.SetInteger(i, v.toLongLong()); break;
    case QMetaType::Double: ins.SetReal(i, v.toDouble()); break;
    case QMetaType::QDateTime: ins.SetDateTime(i, v.toDateTime()); break;
    case QMetaType::QByteArray: ins.SetBytes(i, v.toByteArray()); break;
    default: ins.SetTextAsFound(i, v.toString()); break;
    }
}

QStringList nomiCampi(const TabellaAccess& t)
{
    QStringList nomi;
    for (const CampoAccess& c : t.campi)
        nomi << c.nome;
    return nomi;
}

// The temporary archive beside the destination and its SQLite companions, removed unless kept.
class FileTemporaneo {
public:
    explicit FileTemporaneo(const QString& destinazione)
    {
        const QFileInfo fi(destinazione);
        path_ = fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".importazione-")
                + QUuid::createUuid().toString(QUuid::Id128).left(12);
        elenco_ = std::make_unique<FileProvvisorio>(path_);
    }
    ~FileTemporaneo()
    {
        if (tenuto_)
            return;
        for (const char* suffisso : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path_ + QLatin1String(suffisso));
    }
    FileTemporaneo(const FileTemporaneo&) = delete;
    FileTemporaneo& operator=(const FileTemporaneo&) = delete;
    const QString& path() const { return path_; }
    void tieni() { tenuto_ = true; }

private:
    QString path_;
    std::unique_ptr<FileProvvisorio> elenco_;  // removed also on an interruption
    bool tenuto_ = false;
};

void copiaTabella(const FileAccess& file, const dbe::Database& db, const TabellaAccess& t,
                  const AvanzamentoImport& avanzamento, const std::function<void()>& battito)
{
    qint64 n = 0;
    try {
        CreaTabella(db, t);
        dbe::Inserter ins(db, t.nome, nomiCampi(t));
        n = CopiaRecord(file, t, ins, battito);
        ins.Commit();
        CreaIndici(db, t);
    } catch (const dbe::DbError& e) {
        throw ErroreAccess(QStringLiteral("Importazione interrotta alla tabella '%1' (%2 record copiati): "
                                          "errore %3, %4")
                               .arg(t.nome)
                               .arg(n)
                               .arg(e.number())
                               .arg(e.description()));
    }
    if (avanzamento)
        avanzamento(t, n);
}

// The whole import, in this process: the source read, every table copied into the new archive at
// percorso.
void importaQui(const QString& sorgente, const QString& destinazione, const QString& percorso,
                const AvanzamentoImport& avanzamento, const std::function<void()>& battito,
                const std::function<void(qint64)>& annunciati)
{
    const FileAccess file(sorgente);
    qint64 totale = 0;
    for (const TabellaAccess& t : file.Tabelle())
        totale += t.attesi;
    annunciati(totale);
    dbe::Database db;
    try {
        db = dbe::CreateDatabase(percorso);
        dbe::PrepareForBulkLoad(db);
    } catch (const dbe::DbError& e) {
        throw ErroreAccess(QStringLiteral("Impossibile creare l'archivio nella cartella '%1': %2")
                               .arg(nativo(QFileInfo(destinazione).absolutePath()), e.description()));
    }
    // Closes the new archive when a copy fails part-way; the error of the copy is the one reported,
    // so a failing close then says nothing (a destructor must not throw while another error runs).
    struct Chiusura {
        dbe::Database& db;
        bool aperto = true;
        explicit Chiusura(dbe::Database& d) : db(d) {}
        Chiusura(const Chiusura&) = delete;  // one close
        Chiusura& operator=(const Chiusura&) = delete;
        ~Chiusura()
        {
            if (!aperto)
                return;
            try {
                db.Close();
            } catch (const dbe::DbError&) {
                // Left to the error already on its way out.
            }
        }
    } chiusura{db};
    for (const TabellaAccess& t : file.Tabelle())
        copiaTabella(file, db, t, avanzamento, battito);
    chiusura.aperto = false;
    db.Close();  // after a whole copy a failing close is the import's own error
}

// How long the reading of an Access file may go without a sign of progress (a table read, a
// thousand records copied) before it is taken for libmdb looping on a damaged file.
int secondiSenzaProgressi()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("CORVALE_ACCESS_SECONDI", &ok);
    return ok && s > 0 ? s : 30;
}

// The messages of the reading process: a kind ('T' a table copied, 'E' the refusal's text), the
// length of the text, the text (UTF-8).
void invia(int fd, char tipo, const QString& testo)
{
    const QByteArray dati = testo.toUtf8();
    const quint32 n = quint32(dati.size());
    QByteArray messaggio(1, tipo);
    messaggio.append(reinterpret_cast<const char*>(&n), sizeof n);
    messaggio.append(dati);
    for (qsizetype fatto = 0; fatto < messaggio.size();) {
        const ssize_t w = ::write(fd, messaggio.constData() + fatto, size_t(messaggio.size() - fatto));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;
        fatto += w;
    }
}

bool leggiTutto(int fd, char* dove, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::read(fd, dove, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        dove += r;
        n -= size_t(r);
    }
    return true;
}

constexpr QChar kSeparatore = QChar(0x1F);

// Why no file can be created at path, in the operator's words, or empty text when one can (the
// file tried is removed at once).
QString perchéNonScrivibile(const QString& path)
{
    const QByteArray nome = QFile::encodeName(path);
    const int fd = ::open(nome.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(nome.constData());
        return QString();
    }
    switch (errno) {
    case EACCES:
    case EPERM: return QStringLiteral("non si hanno i permessi per scrivere in quella cartella");
    case EROFS: return QStringLiteral("la cartella è su un disco in sola lettura");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("il disco è pieno");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("la cartella non esiste o non può contenere file");
    default: return QStringLiteral("il sistema non permette di crearvi un file (errore di sistema %1)").arg(errno);
    }
}

// The reading process: libmdb runs here, where a crash or a loop on a damaged file cannot take the
// program down. Its own lines go nowhere; an alarm ends it when it makes no progress.
[[noreturn]] void processoLettura(int fd, const QString& sorgente, const QString& destinazione, const QString& percorso)
{
    const int nulla = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nulla >= 0) {
        ::dup2(nulla, STDOUT_FILENO);
        ::dup2(nulla, STDERR_FILENO);
    }
    std::signal(SIGALRM, SIG_DFL);
    const unsigned attesa = unsigned(secondiSenzaProgressi());
    bool annunciato = false;
    // Each beat after the records are announced is 1024 more records copied.
    const auto battito = [attesa, fd, &annunciato] {
        ::alarm(attesa);
        if (annunciato)
            invia(fd, 'R', QString());
    };
    battito();
    int stato = 0;
    try {
        importaQui(
            sorgente, destinazione, percorso,
            [fd](const TabellaAccess& t, qint64 record) {
                invia(fd, 'T',
                      t.nome + kSeparatore + QString::number(record) + kSeparatore + t.saltati.join(kSeparatore));
            },
            battito,
            [fd, attesa, &annunciato](qint64 totale) {
                ::alarm(attesa);
                invia(fd, 'N', QString::number(totale));
                annunciato = true;
            });
    } catch (const ErroreAccess& e) {
        // The child process ends here whatever happened: the parent reads the text and the status.
        invia(fd, 'E', e.message());
        stato = 1;
    } catch (...) {
        // Anything else leaves the child too; the parent says the file is damaged.
        stato = 3;
    }
    ::_exit(stato);
}

// Runs the import in a process of its own and relays its progress; raises ErroreAccess with the
// process's own text, or with the damaged-file text when it crashed or stopped making progress.
void importaIsolato(const QString& sorgente, const QString& destinazione, const QString& percorso,
                    const AvanzamentoImport& avanzamento, const RecordImport& record)
{
    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0)
        throw ErroreAccess(QStringLiteral("Impossibile avviare la lettura del file '%1'.").arg(nativo(sorgente)));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(tubo[0]);
        ::close(tubo[1]);
        throw ErroreAccess(QStringLiteral("Impossibile avviare la lettura del file '%1'.").arg(nativo(sorgente)));
    }
    if (pid == 0) {
        ::close(tubo[0]);
        processoLettura(tubo[1], sorgente, destinazione, percorso);
    }
    ::close(tubo[1]);
    QString rifiuto;
    qint64 copiati = 0, finiti = 0, totale = 0;  // records: so far, of the tables done, announced
    char tipo = 0;
    quint32 n = 0;
    while (leggiTutto(tubo[0], &tipo, 1) && leggiTutto(tubo[0], reinterpret_cast<char*>(&n), sizeof n)) {
        QByteArray dati(qsizetype(n), Qt::Uninitialized);
        if (n > 0 && !leggiTutto(tubo[0], dati.data(), n))
            break;
        const QString testo = QString::fromUtf8(dati);
        if (tipo == 'E') {
            rifiuto = testo;
        } else if (tipo == 'N') {
            totale = testo.toLongLong();
        } else if (tipo == 'R') {
            copiati += 1024;
        } else if (tipo == 'T') {
            const QStringList parti = testo.split(kSeparatore);
            finiti += parti.value(1).toLongLong();
            copiati = finiti;
            if (avanzamento) {
                TabellaAccess t;
                t.nome = parti.value(0);
                t.saltati = parti.mid(2);
                t.saltati.removeAll(QString());
                avanzamento(t, parti.value(1).toLongLong());
            }
        }
        if (record && totale > 0 && tipo != 'E')
            record(qMin(copiati, totale), totale);
    }
    ::close(tubo[0]);
    int stato = 0;
    while (::waitpid(pid, &stato, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(stato) && WEXITSTATUS(stato) == 0)
        return;
    if (!rifiuto.isEmpty())
        throw ErroreAccess(rifiuto);
    throw ErroreAccess(MessaggioIlleggibile(sorgente));
}

}  // namespace

void CreaTabella(const dbe::Database& db, const TabellaAccess& t)
{
    dbe::TableDef td = db.CreateTableDef(t.nome);
    for (const CampoAccess& c : t.campi) {
        dbe::Field f = td.CreateField(c.nome, c.tipo, c.dimensione);
        if (c.attributi)
            f.SetAttributes(c.attributi);
        f.SetRequired(c.richiesto);
        f.SetAllowZeroLength(c.lunghezzaZero);
        td.Fields().Append(f);
    }
    for (const ProprietaAccess& p : t.proprieta)
        td.Properties().Append(td.CreateProperty(p.nome, p.tipo, p.valore));
    db.TableDefs().Append(td);
}

void CreaIndici(const dbe::Database& db, const TabellaAccess& t)
{
    dbe::TableDef td = db.TableDefs().Item(t.nome);
    for (const IndiceAccess& ia : t.indici) {
        dbe::Index ix = td.CreateIndex(ia.nome);
        ix.SetPrimary(ia.primario);
        ix.SetUnique(ia.univoco);
        ix.SetIgnoreNulls(ia.ignoraNull);
        ix.SetRequired(ia.richiesto);
        for (const CampoIndice& c : ia.campi)
            ix.Fields().Append(ix.CreateField(c.nome));
        td.Indexes().Append(ix);
    }
}

qint64 CopiaRecord(const FileAccess& file, const TabellaAccess& t, dbe::Inserter& ins,
                   const std::function<void()>& battito)
{
    const std::unique_ptr<FileAccess::Lettura> l = file.Leggi(t.nome);
    const int campi = int(t.campi.size());
    qint64 n = 0;
    while (l->Prossimo()) {
        for (int i = 0; i < campi; ++i)
            scrivi(ins, i, l->Valore(i), t.campi[i].tipo);
        ins.Insert();
        if ((++n & 1023) == 0 && battito)
            battito();
    }
    if (n != l->Attesi())
        throw ErroreAccess(QStringLiteral("Il file '%1' è danneggiato: la tabella '%2' dichiara %3 record, "
                                          "se ne leggono %4.")
                               .arg(QDir::toNativeSeparators(file.Percorso()), t.nome)
                               .arg(l->Attesi())
                               .arg(n));
    return n;
}

void ImportaAccess(const QString& sorgente, const QString& destinazione, const AvanzamentoImport& avanzamento,
                   const RecordImport& record)
{
    const QFileInfo dest(destinazione);
    if (dest.exists() || dest.isSymLink())
        throw ErroreAccess(QStringLiteral("Il file di destinazione '%1' esiste già: l'importazione non lo "
                                          "sovrascrive.")
                               .arg(nativo(destinazione)));
    if (!dest.absoluteDir().exists())
        throw ErroreAccess(
            QStringLiteral("La cartella di destinazione '%1' non esiste.").arg(nativo(dest.absolutePath())));
    FileTemporaneo tmp(destinazione);
    const QString perché = perchéNonScrivibile(tmp.path());
    if (!perché.isEmpty())
        throw ErroreAccess(QStringLiteral("Impossibile creare l'archivio nella cartella '%1': %2.")
                               .arg(nativo(dest.absolutePath()), perché));
    importaIsolato(sorgente, destinazione, tmp.path(), avanzamento, record);
    if (QFileInfo::exists(destinazione) || !QFile::rename(tmp.path(), destinazione))
        throw ErroreAccess(
            QStringLiteral("Impossibile scrivere il file di destinazione '%1'.").arg(nativo(destinazione)));
    tmp.tieni();
}

}  // namespace corvale::access
