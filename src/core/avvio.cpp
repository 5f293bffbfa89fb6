#include "avvio.h"

#include "core/sessione.h"
#include "ini.h"
#include "versione.h"

#include <QDir>
#include <QFileInfo>

namespace corvale {

QString FileImpostazioni(const QString& cartellaProgramma)
{
    const QString nome = QStringLiteral("LUMERA.INI");
    const QString esatto = cartellaProgramma + u'/' + nome;
    if (QFileInfo(esatto).isFile())
        return esatto;
    const QStringList simili = QDir(cartellaProgramma).entryList({nome}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& s : simili)
        if (s.compare(nome, Qt::CaseInsensitive) == 0)
            return cartellaProgramma + u'/' + s;
    return esatto;
}

QString LeggiCartellaArchivi(const QString& fileImpostazioni)
{
    // The reader fills a buffer of 255 characters; the buffer is then trimmed of spaces.
    QString valore = LeggiFileIni(fileImpostazioni, u"Path", u"Archivi", 255);
    qsizetype a = 0, b = valore.size();
    while (a < b && valore[a] == u' ')
        ++a;
    while (b > a && valore[b - 1] == u' ')
        --b;
    return valore.sliced(a, b - a);
}

QString AvvisoFileImpostazioni(const QString& cartellaProgramma)
{
    const QString file = FileImpostazioni(cartellaProgramma);
    if (QFileInfo(file).isFile())
        return QString();
    const QString nome = QDir::toNativeSeparators(file);
    const QString tipo = TipoNonOrdinario(file);
    if (!tipo.isEmpty())
        return QStringLiteral("Il file delle impostazioni '%1' non può essere letto: è %2, non un file ordinario.")
            .arg(nome, tipo);
    return QStringLiteral("Il file delle impostazioni '%1' non esiste.").arg(nome);
}

void LeggiPathArchivi(Sessione& s)
{
    s.PathArchivi = LeggiCartellaArchivi(FileImpostazioni(s.CartellaProgramma()));
    s.VersioneMaster = LeggiVersioneMaster(s);
}

}  // namespace corvale
