#include "presenza_archivio.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>

#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvale {

namespace {
struct Segno {
    int fd = -1;
    int conta = 0;
};
// One mark per session and file, shared by the session's holders.
QHash<QPair<const Sessione*, QString>, Segno>& segni()
{
    static QHash<QPair<const Sessione*, QString>, Segno> s;
    return s;
}
QString canonico(const QString& file)
{
    const QString c = QFileInfo(file).canonicalFilePath();
    return c.isEmpty() ? QFileInfo(file).absoluteFilePath() : c;
}
// The mark is on a small file beside the archive, never on the archive itself: a descriptor of the
// archive opened and closed outside SQLite would drop SQLite's own locks on it.
QByteArray fileSegno(const QString& chiave) { return QFile::encodeName(chiave + QStringLiteral(".presenza")); }
int apri(const QString& chiave) { return ::open(fileSegno(chiave).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }
// True while fd is still the file at its name: the last holder removes the file as it goes.
bool ancoraLi(int fd, const QString& chiave)
{
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(fileSegno(chiave).constData(), &b) == 0 && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}
// A descriptor of the mark's file holding lock (LOCK_SH or LOCK_EX); -1 when it cannot be had now
// (the file cannot be made, or another holds the lock that excludes this one).
int blocca(const QString& chiave, int lock)
{
    for (int tentativo = 0; tentativo < 20; ++tentativo) {
        const int fd = apri(chiave);
        if (fd < 0)
            return -1;
        if (::flock(fd, lock | LOCK_NB) != 0) {
            ::close(fd);
            if (lock == LOCK_EX)
                return -1;
            ::usleep(10000);  // a restore or a holder going away: a moment
            continue;
        }
        if (ancoraLi(fd, chiave))
            return fd;
        ::close(fd);  // removed or replaced meanwhile: the file at the name now
    }
    return -1;
}
// Gives a mark back; the last one, when it can have the file alone, removes it, so that nothing is
// left beside the archive once no Corvale has it open.
void rilascia(int fd, const QString& chiave)
{
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ancoraLi(fd, chiave))
        ::unlink(fileSegno(chiave).constData());
    ::close(fd);
}
void prendi(const Sessione* s, const QString& chiave)
{
    Segno& g = segni()[{s, chiave}];
    if (g.conta++ == 0)
        g.fd = blocca(chiave, LOCK_SH);
}
// The marks of a corvale-cli command, given back when the process ends.
std::vector<std::unique_ptr<PresenzaArchivio>>& finoAllaFine()
{
    segni();  // made first, so that it is still there when these go
    static std::vector<std::unique_ptr<PresenzaArchivio>> v;
    return v;
}
}  // namespace

PresenzaArchivio::PresenzaArchivio(const Sessione& s, const QString& file) : sessione_(&s)
{
    if (file.isEmpty())
        return;
    chiave_ = canonico(file);
    prendi(sessione_, chiave_);
}

PresenzaArchivio::~PresenzaArchivio()
{
    if (chiave_.isEmpty())
        return;
    auto it = segni().find({sessione_, chiave_});
    if (it == segni().end() || --it->conta > 0)
        return;
    rilascia(it->fd, chiave_);
    segni().erase(it);
}

void PresenzaArchivio::FinoAllaFine(const Sessione& s, const QString& file)
{
    if (!file.isEmpty())
        finoAllaFine().push_back(std::make_unique<PresenzaArchivio>(s, file));
}

bool PresenzaArchivio::DaSolo(const Sessione& s, const QString& file, const std::function<void()>& azione)
{
    const QString chiave = canonico(file);
    auto it = segni().find({&s, chiave});
    const bool propria = it != segni().end() && it->fd >= 0;
    if (!propria) {
        const int fd = blocca(chiave, LOCK_EX);
        if (fd < 0) {
            // Refused, or the file cannot be made (a read-only folder): then nobody has a mark on it.
            const int altro = apri(chiave);
            if (altro >= 0) {
                ::close(altro);
                return false;
            }
            azione();
            return true;
        }
        azione();
        rilascia(fd, chiave);
        return true;
    }
    // Turning the shared mark into a sole one fails while anyone else holds theirs.
    if (::flock(it->fd, LOCK_EX | LOCK_NB) != 0) {
        ::flock(it->fd, LOCK_SH | LOCK_NB);
        return false;
    }
    azione();
    ::flock(it->fd, LOCK_SH | LOCK_NB);
    return true;
}

QString RipristinoRifiutatoAltroCorvale()
{
    return QStringLiteral("Un altro Corvale ha aperto l'archivio: chiuderlo prima di ripristinare la copia."
                          "\rCopia non ripristinata: nessuna modifica è stata fatta.");
}

}  // namespace corvale
