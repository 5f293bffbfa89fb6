#include "ini.h"

#include <QFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvale {

QString DecodificaIni(const QByteArray& contenuto)
{
    const auto inizia = [&](const char* bom, qsizetype n) {
        return contenuto.size() >= n && contenuto.first(n) == QByteArrayView(bom, n);
    };
    if (inizia("\xFF\xFE", 2)) {
        QStringDecoder d(QStringConverter::Utf16LE);
        return d(contenuto.sliced(2));
    }
    if (inizia("\xFE\xFF", 2)) {
        QStringDecoder d(QStringConverter::Utf16BE);
        return d(contenuto.sliced(2));
    }
    const QByteArray corpo = inizia("\xEF\xBB\xBF", 3) ? contenuto.sliced(3) : contenuto;
    QStringDecoder utf8(QStringConverter::Utf8);
    QString testo = utf8(corpo);
    if (!utf8.hasError())
        return testo;
    return QString::fromLatin1(corpo);
}

namespace {

bool Spazio(QChar c) { return c.isSpace(); }

QStringView Rifila(QStringView s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && Spazio(s[a]))
        ++a;
    while (b > a && Spazio(s[b - 1]))
        --b;
    return s.sliced(a, b - a);
}

QString Valore(QStringView grezzo, qsizetype massimo)
{
    const qsizetype nul = grezzo.indexOf(QChar(u'\0'));
    if (nul >= 0)
        grezzo = grezzo.first(nul);
    grezzo = Rifila(grezzo);
    if (grezzo.size() >= 2) {
        const QChar q = grezzo.front();
        if ((q == u'"' || q == u'\'') && grezzo.back() == q)
            grezzo = grezzo.sliced(1, grezzo.size() - 2);
    }
    if (massimo < 0)
        massimo = 0;
    return grezzo.first(qMin(grezzo.size(), massimo)).toString();
}

}  // namespace

QString LeggiValoreIni(QStringView testo, QStringView sezione, QStringView chiave, qsizetype massimo)
{
    const QStringView nomeSezione = Rifila(sezione);
    const QStringView nomeChiave = Rifila(chiave);
    bool dentro = false;  // inside the first section of that name
    bool vista = false;  // that section has begun
    qsizetype inizio = 0;
    const qsizetype n = testo.size();
    while (inizio <= n) {
        qsizetype fine = inizio;
        while (fine < n && testo[fine] != u'\n' && testo[fine] != u'\r')
            ++fine;
        const QStringView riga = Rifila(testo.sliced(inizio, fine - inizio));
        inizio = fine + 1;
        if (riga.isEmpty())
            continue;
        if (riga.front() == u'[') {
            if (vista)
                return QString();  // the first section of that name ended without the key
            qsizetype chiusa = riga.indexOf(u']');
            if (chiusa < 0)
                chiusa = riga.size();
            const QStringView nome = Rifila(riga.sliced(1, chiusa - 1));
            dentro = nome.compare(nomeSezione, Qt::CaseInsensitive) == 0;
            vista = dentro;
            continue;
        }
        if (!dentro)
            continue;
        const qsizetype uguale = riga.indexOf(u'=');
        const QStringView nome = Rifila(uguale < 0 ? riga : riga.first(uguale));
        if (nome.compare(nomeChiave, Qt::CaseInsensitive) != 0)
            continue;
        if (uguale < 0)
            return QString();
        return Valore(riga.sliced(uguale + 1), massimo);
    }
    return QString();
}

QString LeggiValoreIni(const QByteArray& contenuto, QStringView sezione, QStringView chiave, qsizetype massimo)
{
    return LeggiValoreIni(QStringView(DecodificaIni(contenuto)), sezione, chiave, massimo);
}

QString LeggiFileIni(const QString& file, QStringView sezione, QStringView chiave, qsizetype massimo)
{
    // Only a plain file, and only its first 16 MB: a pipe would block the program and a device
    // such as /dev/zero would never end. The file is opened without waiting (a pipe opened so
    // returns at once) and its kind is asked of the open descriptor, so that nothing put in its
    // place meanwhile is read.
    constexpr qint64 kMassimoFile = 16 << 20;
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QString();
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QString();
    }
    return LeggiValoreIni(f.read(kMassimoFile), sezione, chiave, massimo);
}

QString TipoNonOrdinario(const QString& file)
{
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("una cartella");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("una pipe con nome (FIFO)");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("un dispositivo");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("un socket");
    return QStringLiteral("un oggetto di tipo sconosciuto");
}

}  // namespace corvale
