#pragma once
// The report of a run as one self-contained HTML page: styles inline, no script, nothing loaded
// from elsewhere, laid out for the screen and for A4 paper. It holds the databases, stamps and
// verdict, a summary per group drawn as bars in inline SVG, the task table with problems first,
// each structure task's differences and each data check's first problem records. Texts are
// Italian, numbers and dates in Italian form, every value from the databases escaped. The window
// and corvale-cli write the report through these same functions.
#include "rapporto_dati.h"

#include <QDate>
#include <QString>

namespace corvale {

// The page for a gathered report.
QString RapportoHtml(const RapportoControllo& r);

// Writes the page to file in UTF-8; the file is replaced whole or left as it was. False, with an
// Italian message in errore, when it cannot be written.
bool ScriviRapportoHtml(const RapportoControllo& r, const QString& file, QString* errore);

// The file proposed for a report written on giorno in cartella:
// cartella/rapporto-controllo-AAAA-MM-GG.html.
QString NomeRapportoProposto(const QString& cartella, const QDate& giorno);

}  // namespace corvale
