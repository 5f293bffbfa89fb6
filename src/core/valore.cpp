#include "valore.h"

#include <cmath>
#include <limits>

namespace corvale {

namespace {
bool spazio(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
}  // namespace

double Val(const QString& testo)
{
    // Blanks may appear between the characters of the number; they are skipped throughout.
    QString numero;
    int i = 0;
    const int n = testo.size();
    auto salta = [&] {
        while (i < n && spazio(testo[i]))
            ++i;
    };
    salta();
    if (i < n && (testo[i] == u'+' || testo[i] == u'-'))
        numero += testo[i++];
    bool cifre = false;
    for (salta(); i < n && testo[i].isDigit() && testo[i].unicode() < 128; salta()) {
        numero += testo[i++];
        cifre = true;
    }
    if (i < n && testo[i] == u'.') {
        numero += testo[i++];
        for (salta(); i < n && testo[i].isDigit() && testo[i].unicode() < 128; salta()) {
            numero += testo[i++];
            cifre = true;
        }
    }
    if (!cifre)
        return 0.0;
    if (i < n && (testo[i] == u'E' || testo[i] == u'e' || testo[i] == u'D' || testo[i] == u'd')) {
        QString esponente = QStringLiteral("e");
        int j = i + 1;
        if (j < n && (testo[j] == u'+' || testo[j] == u'-'))
            esponente += testo[j++];
        bool cifreEsp = false;
        while (j < n && testo[j].isDigit() && testo[j].unicode() < 128) {
            esponente += testo[j++];
            cifreEsp = true;
        }
        if (cifreEsp)
            numero += esponente;
    }
    bool ok = false;
    const double v = numero.toDouble(&ok);
    return ok ? v : 0.0;
}

qint16 ValIntero16(const QString& testo)
{
    const double v = std::trunc(Val(testo));
    if (v > std::numeric_limits<qint16>::max())
        return std::numeric_limits<qint16>::max();
    if (v < std::numeric_limits<qint16>::min())
        return std::numeric_limits<qint16>::min();
    return static_cast<qint16>(v);
}

}  // namespace corvale
