#include "presenza_archivio.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>

#include <fcntl.h>
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
int apri(const QString& file)
{
    return ::open(QFile::encodeName(file + QStringLiteral(".presenza")).constData(), O_RDWR | O_CREAT | O_CLOEXEC,
                  0644);
}
void prendi(const Sessione* s, const QString& chiave)
{
    Segno& g = segni()[{s, chiave}];
    if (g.conta++ == 0) {
        g.fd = apri(chiave);
        if (g.fd >= 0)
            ::flock(g.fd, LOCK_SH | LOCK_NB);
    }
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
    if (it->fd >= 0)
        ::close(it->fd);  // the mark goes with the descriptor
    segni().erase(it);
}

void PresenzaArchivio::FinoAllaFine(const Sessione& s, const QString& file)
{
    if (!file.isEmpty())
        prendi(&s, canonico(file));
}

bool PresenzaArchivio::DaSolo(const Sessione& s, const QString& file, const std::function<void()>& azione)
{
    const QString chiave = canonico(file);
    auto it = segni().find({&s, chiave});
    const bool propria = it != segni().end() && it->fd >= 0;
    const int fd = propria ? it->fd : apri(chiave);
    if (fd < 0) {
        azione();  // no file to share: nobody has it open
        return true;
    }
    // Turning the shared mark into a sole one fails while anyone else holds theirs.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (propria)
            ::flock(fd, LOCK_SH | LOCK_NB);
        else
            ::close(fd);
        return false;
    }
    azione();
    if (propria)
        ::flock(fd, LOCK_SH | LOCK_NB);
    else
        ::close(fd);
    return true;
}

QString RipristinoRifiutatoAltroCorvale()
{
    return QStringLiteral("Un altro Corvale ha aperto l'archivio: chiuderlo prima di ripristinare la copia."
                          "\rCopia non ripristinata: nessuna modifica è stata fatta.");
}

}  // namespace corvale
