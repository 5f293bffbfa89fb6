// Fuzz target for the settings-file reader: any bytes, read as LUMERA.INI, must give a value
// without crashing, hanging or throwing, and the value must keep the reader's promises: at most
// the requested number of characters and no NUL (white space may stay inside a pair of quotes).
// Build and run: fuzz/run.sh (or build-fuzz/fuzz/ini_fuzz fuzz/ini_corpus).
#include "core/ini.h"

#include <cstdio>
#include <cstdlib>

namespace {

void verifica(const QString& v, qsizetype massimo, const char* cosa)
{
    const bool ok = v.size() <= qMax<qsizetype>(massimo, 0) && !v.contains(QChar(u'\0'));
    if (!ok) {
        std::fprintf(stderr, "%s: the value breaks the reader's promises: [%s]\n", cosa, v.toUtf8().constData());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray contenuto(reinterpret_cast<const char*>(data), qsizetype(size));
    // The program's own question.
    verifica(corvale::LeggiValoreIni(contenuto, u"Path", u"Archivi"), 255, "Path/Archivi");

    // Other questions, taken from the input: the first byte gives the length, the first line the
    // section and the key (split at '='), the rest is the file.
    if (size < 2)
        return 0;
    const qsizetype massimo = qsizetype(int8_t(data[0]));
    const QByteArray resto = contenuto.sliced(1);
    const qsizetype a_capo = resto.indexOf('\n');
    const QByteArray domanda = a_capo < 0 ? resto : resto.first(a_capo);
    const QByteArray file = a_capo < 0 ? QByteArray() : resto.sliced(a_capo + 1);
    const qsizetype uguale = domanda.indexOf('=');
    const QString sezione = QString::fromUtf8(uguale < 0 ? domanda : domanda.first(uguale));
    const QString chiave = QString::fromUtf8(uguale < 0 ? QByteArray() : domanda.sliced(uguale + 1));
    verifica(corvale::LeggiValoreIni(file, sezione, chiave, massimo), massimo, "domanda");
    const QString testo = corvale::DecodificaIni(file);
    verifica(corvale::LeggiValoreIni(QStringView(testo), sezione, chiave, massimo), massimo, "testo");
    return 0;
}
