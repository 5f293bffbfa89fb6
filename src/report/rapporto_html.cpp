#include "rapporto_html.h"

#include "checks/valori_illeggibili.h"
#include "records/testo_valore.h"

#include <QDir>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>

namespace corvale {

namespace {

const char* const kStile = R"(
@page { size: A4; margin: 14mm 12mm 16mm; }
* { box-sizing: border-box; }
html { background: #f3f5f7; }
body { font-family: "DejaVu Sans", "Segoe UI", Arial, sans-serif; font-size: 9.5pt; line-height: 1.4;
  color: #1f2a36; background: #fff; max-width: 210mm; margin: 0 auto; padding: 12mm 12mm 10mm;
  -webkit-print-color-adjust: exact; print-color-adjust: exact; }
h1 { font-size: 17pt; color: #14395e; margin: 0; }
h2 { font-size: 12pt; color: #14395e; border-bottom: 1.5px solid #14395e; padding-bottom: 1mm;
  margin: 8mm 0 3mm; }
h3 { font-size: 10pt; margin: 5mm 0 1mm; }
p { margin: 1mm 0 2mm; orphans: 3; widows: 3; }
/* In print a heading never ends a page: it keeps with the line that opens its section, the table's
   header and its first two rows, or the first two records. */
h1, h2, h3, h2 + p, h3 + p { break-after: avoid; page-break-after: avoid; }
thead { break-after: avoid; page-break-after: avoid; }
tbody tr:nth-child(-n+2), .scheda:nth-child(-n+2) { break-before: avoid; page-break-before: avoid; }
.sotto, .nota { color: #5d6874; }
.nota { font-size: 8.5pt; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; vertical-align: top; padding: 1mm 1.8mm; border-bottom: 0.6px solid #d6dce2; }
thead th { background: #e9eef3; font-weight: bold; border-bottom: 1px solid #b9c3cd; }
thead { display: table-header-group; }
tr { break-inside: avoid; }
.info { margin-top: 4mm; }
.info th { width: 42mm; font-weight: normal; color: #5d6874; }
.chiave { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 8.5pt; white-space: nowrap; }
.esito { display: inline-block; padding: 0.2mm 1.8mm; border-radius: 1.6mm; font-size: 8pt; white-space: nowrap; }
.e0 { background: #fbe3df; color: #9a1d10; } .e1 { background: #fdefd3; color: #865000; }
.e2 { background: #e8ecf0; color: #4a5664; } .e3 { background: #e0f2e6; color: #1c6a34; }
.verdetto { padding: 1.5mm 3mm; border-left: 3px solid #2f8a4f; background: #eef8f1; }
.verdetto.avviso { border-color: #d08a00; background: #fff6e3; }
.riepilogo td { border: 0; padding: 1.5mm 1.8mm; vertical-align: middle; }
.riepilogo .gruppo { width: 46mm; font-weight: bold; white-space: nowrap; }
.riepilogo .gruppo span { display: block; font-weight: normal; color: #5d6874; font-size: 8.5pt; }
.riepilogo svg { display: block; }
.legenda { font-size: 8.5pt; white-space: nowrap; width: 52mm; }
.legenda i { display: inline-block; width: 2.6mm; height: 2.6mm; border-radius: 0.6mm; margin-right: 1.2mm; }
.compiti { table-layout: fixed; }
.compiti td.dett { font-size: 8.5pt; color: #3b4754; }
a.vedi { white-space: nowrap; }
.differenze { table-layout: fixed; }
.record { font-size: 7.5pt; }
.record th { white-space: nowrap; }
.record th, .record td { padding: 0.6mm 1.2mm; overflow-wrap: anywhere; }
.record tbody tr:nth-child(even) td, .scheda:nth-child(even) { background: #f6f8fa; }
.schede { font-size: 7.5pt; border-top: 1px solid #b9c3cd; }
.scheda { padding: 0.8mm 1.2mm 0.8mm 7mm; border-bottom: 0.6px solid #d6dce2; text-indent: -5.8mm; break-inside: avoid; }
.scheda .n { display: inline-block; width: 5.8mm; text-indent: 0; color: #5d6874; font-weight: bold; }
.scheda .c { display: inline-block; max-width: 100%; text-indent: 0; margin-right: 3.2mm; overflow-wrap: anywhere; }
.scheda .c b { color: #5d6874; font-weight: normal; margin-right: 0.8mm; }
.vuoto { color: #9aa4ae; }
.errore { color: #9a1d10; }
footer { margin-top: 8mm; padding-top: 2mm; border-top: 0.6px solid #d6dce2; font-size: 8pt; color: #5d6874; }
a { color: inherit; }
@media print { html { background: none; } body { max-width: none; padding: 0; } }
)";

// The colours of the four outcomes, in EsitoTask order.
const char* const kColori[] = {"#d2452f", "#e39b1b", "#aab4bf", "#3a9a5b"};

QString h(const QString& testo) { return testo.toHtmlEscaped(); }

// A detail text as the program writes it (carriage returns, CR LF) on separate lines.
QString righe(const QString& testo)
{
    QString t = testo;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (t.endsWith(QLatin1Char('\n')))
        t.chop(1);
    return h(t).replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QLocale italiano() { return QLocale(QLocale::Italian, QLocale::Italy); }

QString numero(qint64 n) { return italiano().toString(n); }

QString testoEsito(EsitoTask e)
{
    switch (e) {
    case EsitoTask::Problemi: return QStringLiteral("Rilevati problemi");
    case EsitoTask::NonEseguibile: return QStringLiteral("Non eseguibile");
    case EsitoTask::NonEseguito: return QStringLiteral("Non eseguito");
    case EsitoTask::Superato: return QStringLiteral("Superato");
    }
    return QString();
}

// The legend of one outcome: "1 superato", "3 superati", ...
QString conteggio(int n, EsitoTask e)
{
    const bool uno = n == 1;
    switch (e) {
    case EsitoTask::Problemi: return numero(n) + QStringLiteral(" con problemi");
    case EsitoTask::NonEseguibile:
        return numero(n) + (uno ? QStringLiteral(" non eseguibile") : QStringLiteral(" non eseguibili"));
    case EsitoTask::NonEseguito:
        return numero(n) + (uno ? QStringLiteral(" non eseguito") : QStringLiteral(" non eseguiti"));
    case EsitoTask::Superato: return numero(n) + (uno ? QStringLiteral(" superato") : QStringLiteral(" superati"));
    }
    return QString();
}

QString ancora(const TaskRapporto& t) { return QStringLiteral("t") + t.Chiave; }

// A value of a problem record, as the grid shows it but with Italian numbers; Null and blank text
// are marked, since they are often why the record is there.
QString cella(const QVariant& v, short tipo)
{
    if (v.isNull() || !v.isValid())
        return QStringLiteral("<span class=\"vuoto\">—</span>");
    QLocale it = italiano();
    it.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (tipo) {
    case dbe::dbCurrency: return h(it.toString(v.toDouble(), 'f', 2));
    case dbe::dbSingle:
    case dbe::dbDouble:
    case dbe::dbDecimal: return h(it.toString(v.toDouble(), 'f', QLocale::FloatingPointShortest));
    case dbe::dbBoolean: return v.toBool() ? QStringLiteral("Sì") : QStringLiteral("No");
    default: break;
    }
    const QString testo = TestoValore(v);
    if (testo.trimmed().isEmpty())
        return QStringLiteral("<span class=\"vuoto\">(%1)</span>")
            .arg(testo.isEmpty() ? QStringLiteral("testo vuoto") : QStringLiteral("solo spazi"));
    return h(testo);
}

struct Gruppo {
    QString nome;
    int conta[4] = {0, 0, 0, 0};
    int totale() const { return conta[0] + conta[1] + conta[2] + conta[3]; }
};

// One group's bar: a segment per outcome, as wide as its share, with the count inside when it fits.
// Positions are fractions of the bar, so the bar takes the width of its cell and the text keeps its
// shape.
QString barra(const Gruppo& g)
{
    QString svg = QStringLiteral("<svg width=\"100%\" height=\"24\" role=\"img\" aria-label=\"%1\">"
                                 "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"24\" fill=\"#eef1f4\"/>")
                      .arg(h(g.nome));
    double x = 0;
    const int tot = g.totale();
    for (int e : {3, 0, 1, 2}) {
        if (tot == 0 || g.conta[e] == 0)
            continue;
        const double w = 100.0 * g.conta[e] / tot;
        svg += QStringLiteral("<rect x=\"%1%\" y=\"0\" width=\"%2%\" height=\"24\" fill=\"%3\"/>")
                   .arg(QString::number(x, 'f', 2), QString::number(w, 'f', 2), QLatin1String(kColori[e]));
        if (w >= 5)
            svg += QStringLiteral("<text x=\"%1%\" y=\"16.5\" text-anchor=\"middle\" font-size=\"12\" "
                                  "font-family=\"DejaVu Sans, Arial, sans-serif\" fill=\"#fff\">%2</text>")
                       .arg(QString::number(x + w / 2, 'f', 2), numero(g.conta[e]));
        x += w;
    }
    return svg + QStringLiteral("</svg>");
}

QString rigaRiepilogo(const Gruppo& g)
{
    QString s =
        QStringLiteral("<tr><td class=\"gruppo\">%1<span>%2</span></td><td>%3</td><td class=\"legenda\">")
            .arg(h(g.nome),
                 g.totale() == 1 ? QStringLiteral("1 controllo") : numero(g.totale()) + QStringLiteral(" controlli"),
                 barra(g));
    QStringList voci;
    for (int e : {3, 0, 1, 2}) {
        if (g.conta[e] == 0 && (e == 1 || e == 2))
            continue;
        voci << QStringLiteral("<i style=\"background:%1\"></i>%2")
                    .arg(QLatin1String(kColori[e]), conteggio(g.conta[e], EsitoTask(e)));
    }
    return s + voci.join(QStringLiteral("<br>")) + QStringLiteral("</td></tr>\n");
}

QString intestazione(const RapportoControllo& r)
{
    const QLocale it = italiano();
    QString s = QStringLiteral("<header><h1>Rapporto di controllo dell'archivio</h1>"
                               "<p class=\"sotto\">Analisi del %1 alle %2 · Corvale %3</p>")
                    .arg(h(it.toString(r.Momento.date(), QStringLiteral("d MMMM yyyy"))),
                         h(r.Momento.time().toString(QStringLiteral("HH:mm"))), h(r.VersioneProgramma));
    auto versione = [](const QString& v) {
        return v.trimmed().isEmpty() ? QStringLiteral("<span class=\"vuoto\">non rilevabile</span>") : h(v.trimmed());
    };
    s += QStringLiteral("<table class=\"info\">");
    s += QStringLiteral("<tr><th>Archivio</th><td>%1</td></tr>").arg(h(QDir::toNativeSeparators(r.Archivio)));
    s += QStringLiteral("<tr><th>Database master</th><td>%1</td></tr>").arg(h(QDir::toNativeSeparators(r.Master)));
    s += QStringLiteral("<tr><th>Versione dell'archivio</th><td>%1</td></tr>").arg(versione(r.VersioneArchivio));
    s += QStringLiteral("<tr><th>Versione del master</th><td>%1</td></tr>").arg(versione(r.VersioneMaster));
    s += QStringLiteral("<tr><th>Verifica delle versioni</th><td>");
    if (r.AvvisoVersioni.isEmpty())
        s += QStringLiteral("<div class=\"verdetto\">Le due versioni coincidono.</div>");
    else
        s += QStringLiteral("<div class=\"verdetto avviso\">%1</div>").arg(righe(r.AvvisoVersioni));
    s += QStringLiteral("</td></tr>");
    if (!r.AvvisoDanno.isEmpty())
        s += QStringLiteral("<tr><th>Integrità dell'archivio</th><td><div class=\"verdetto avviso\">%1</div></td></tr>")
                 .arg(righe(r.AvvisoDanno));
    if (!r.ValoriIlleggibili.isEmpty())
        s += QStringLiteral("<tr><th>Valori illeggibili</th><td><div class=\"verdetto avviso\">%1</div></td></tr>")
                 .arg(righe(AvvisoValoriIlleggibili(r.ValoriIlleggibili)));
    return s + QStringLiteral("</table></header>\n");
}

QString riepilogo(const RapportoControllo& r)
{
    Gruppo struttura{QStringLiteral("Struttura delle tabelle")};
    Gruppo dati{QStringLiteral("Controlli dei dati")};
    for (const TaskRapporto& t : r.Task)
        ++(t.Strutturale() ? struttura : dati).conta[int(t.Esito)];
    const int problemi = struttura.conta[int(EsitoTask::Problemi)] + dati.conta[int(EsitoTask::Problemi)];
    const int nonEseguibili =
        struttura.conta[int(EsitoTask::NonEseguibile)] + dati.conta[int(EsitoTask::NonEseguibile)];
    const QString totale = numero(struttura.totale() + dati.totale());
    QString s = QStringLiteral("<section><h2>Riepilogo</h2><p>");
    // The checks that could not run are counted apart: they found nothing because they did not run.
    if (problemi == 0 && nonEseguibili == 0)
        s += QStringLiteral("Nessun problema riscontrato.");
    else if (problemi == 0)
        s += QStringLiteral("Nessun controllo ha rilevato problemi, ma %1 su %2 non si sono potuti eseguire.")
                 .arg(numero(nonEseguibili), totale);
    else if (nonEseguibili == 0)
        s += QStringLiteral("%1 su %2 controlli hanno rilevato problemi.").arg(numero(problemi), totale);
    else
        s += QStringLiteral("%1 su %2 controlli hanno rilevato problemi; %3 non si sono potuti eseguire.")
                 .arg(numero(problemi), totale, numero(nonEseguibili));
    // Counts that may leave out records whose values no rule reads are said beside them.
    if (!r.ValoriIlleggibili.isEmpty())
        s += QStringLiteral(" Alcuni campi contengono valori illeggibili (vedi sopra): i conteggi dei controlli "
                            "che li leggono possono non essere esatti.");
    s += QStringLiteral("</p><table class=\"riepilogo\">");
    s += rigaRiepilogo(struttura) + rigaRiepilogo(dati);
    return s + QStringLiteral("</table></section>\n");
}

QString elencoControlli(const QList<const TaskRapporto*>& ordinati)
{
    QString s = QStringLiteral(
        "<section><h2>Controlli eseguiti</h2><table class=\"compiti\"><colgroup><col style=\"width:15mm\">"
        "<col style=\"width:62mm\"><col style=\"width:30mm\"><col></colgroup><thead><tr><th>Chiave</th>"
        "<th>Controllo</th><th>Esito</th><th>Dettaglio</th></tr></thead><tbody>\n");
    for (const TaskRapporto* t : ordinati) {
        QString dettaglio;
        if (t->Esito == EsitoTask::Problemi && t->Strutturale()) {
            // The report lines say in code what the differences table below says in words.
            const int n = t->Differenze.size();
            dettaglio = n == 1 ? QStringLiteral("1 differenza dal master")
                               : numero(n) + QStringLiteral(" differenze dal master");
        } else if (t->Esito != EsitoTask::NonEseguito) {
            dettaglio = righe(t->Dettaglio);
        }
        if (t->Esito == EsitoTask::Problemi)
            dettaglio += QStringLiteral(" <a class=\"vedi\" href=\"#%1\">(vedi sotto)</a>").arg(ancora(*t));
        s += QStringLiteral("<tr><td class=\"chiave\">%1</td><td>%2</td><td><span class=\"esito e%3\">%4</span>"
                            "</td><td class=\"dett\">%5</td></tr>\n")
                 .arg(h(t->Chiave), h(t->Descrizione), QString::number(int(t->Esito)), testoEsito(t->Esito), dettaglio);
    }
    return s + QStringLiteral("</tbody></table></section>\n");
}

QString differenze(const QList<const TaskRapporto*>& ordinati)
{
    QString s;
    for (const TaskRapporto* t : ordinati) {
        if (!t->Strutturale() || t->Esito != EsitoTask::Problemi)
            continue;
        s += QStringLiteral("<h3 id=\"%1\">%2 <span class=\"chiave\">%3</span></h3>")
                 .arg(ancora(*t), h(t->Descrizione), h(t->Chiave));
        s += QStringLiteral("<table class=\"differenze\"><colgroup><col style=\"width:38%\"><col style=\"width:28%\">"
                            "<col></colgroup><thead><tr><th>Campo, indice o proprietà</th>"
                            "<th>Nell'archivio</th><th>Nel master</th></tr></thead><tbody>\n");
        for (const DifferenzaStruttura& d : t->Differenze)
            s += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
                     .arg(h(d.Oggetto), h(d.Archivio), h(d.Master));
        s += QStringLiteral("</tbody></table>");
        if (t->Troncate)
            s += QStringLiteral("<p class=\"nota\">Il controllo registra al più nove differenze per tabella: "
                                "altre possono comparire dopo aver corretto queste.</p>");
        s += QLatin1Char('\n');
    }
    if (s.isEmpty())
        return s;
    return QStringLiteral("<section><h2>Differenze di struttura</h2>\n") + s + QStringLiteral("</section>\n");
}

// Up to this many fields the records are a table; wider ones (the joins) would not fit across a
// page, so each record becomes a short block of field names and values.
constexpr int kColonneInTabella = 10;

short tipoColonna(const TaskRapporto& t, int c) { return c < t.TipiColonne.size() ? t.TipiColonne[c] : 0; }

QString tabellaRecord(const TaskRapporto& t)
{
    QString s = QStringLiteral("<table class=\"record\"><thead><tr>");
    for (const QString& c : t.Colonne)
        s += QStringLiteral("<th>%1</th>").arg(h(c));
    s += QStringLiteral("</tr></thead><tbody>\n");
    for (const QVariantList& riga : t.Righe) {
        s += QStringLiteral("<tr>");
        for (int c = 0; c < riga.size(); ++c)
            s += QStringLiteral("<td>%1</td>").arg(cella(riga[c], tipoColonna(t, c)));
        s += QStringLiteral("</tr>\n");
    }
    return s + QStringLiteral("</tbody></table>\n");
}

QString schedeRecord(const TaskRapporto& t)
{
    QString s = QStringLiteral("<div class=\"schede\">\n");
    for (int r = 0; r < t.Righe.size(); ++r) {
        s += QStringLiteral("<div class=\"scheda\"><span class=\"n\">%1</span>").arg(r + 1);
        const QVariantList& riga = t.Righe[r];
        for (int c = 0; c < riga.size() && c < t.Colonne.size(); ++c)
            s += QStringLiteral("<span class=\"c\"><b>%1</b>%2</span> ")
                     .arg(h(t.Colonne[c]), cella(riga[c], tipoColonna(t, c)));
        s += QStringLiteral("</div>\n");
    }
    return s + QStringLiteral("</div>\n");
}

QString recordProblema(const QList<const TaskRapporto*>& ordinati)
{
    QString s;
    for (const TaskRapporto* t : ordinati) {
        if (t->Strutturale() || t->Esito != EsitoTask::Problemi)
            continue;
        s += QStringLiteral("<h3 id=\"%1\">%2 <span class=\"chiave\">%3</span></h3>")
                 .arg(ancora(*t), h(t->Descrizione), h(t->Chiave));
        if (!t->ErroreRecord.isEmpty()) {
            s += QStringLiteral("<p class=\"errore\">Impossibile leggere i record: %1</p>\n")
                     .arg(righe(t->ErroreRecord));
            continue;
        }
        const qint64 mostrati = t->Righe.size();
        if (t->TotaleRecord == 1)
            s += QStringLiteral("<p>1 record con problemi.</p>");
        else if (mostrati < t->TotaleRecord)
            s += QStringLiteral("<p>%1 record con problemi; sono mostrati i primi %2.</p>")
                     .arg(numero(t->TotaleRecord), numero(mostrati));
        else
            s += QStringLiteral("<p>%1 record con problemi.</p>").arg(numero(t->TotaleRecord));
        if (mostrati > 0)
            s += t->Colonne.size() <= kColonneInTabella ? tabellaRecord(*t) : schedeRecord(*t);
    }
    if (s.isEmpty())
        return s;
    return QStringLiteral("<section><h2>Record con problemi</h2><p class=\"nota\">Per ogni controllo, i primi "
                          "%1 record come li mostra l'elenco dei record con problemi; — indica un campo "
                          "senza valore.</p>\n")
               .arg(kRecordPerControllo)
           + s + QStringLiteral("</section>\n");
}

}  // namespace

QString RapportoHtml(const RapportoControllo& r)
{
    QList<const TaskRapporto*> ordinati;
    for (const TaskRapporto& t : r.Task)
        ordinati << &t;
    std::stable_sort(ordinati.begin(), ordinati.end(),
                     [](const TaskRapporto* a, const TaskRapporto* b) { return int(a->Esito) < int(b->Esito); });
    const QLocale it = italiano();
    QString s = QStringLiteral("<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\">"
                               "<title>Rapporto di controllo dell'archivio · %1</title><style>")
                    .arg(h(it.toString(r.Momento, QStringLiteral("dd/MM/yyyy HH:mm"))));
    s += QLatin1String(kStile);
    s += QStringLiteral("</style></head><body>\n");
    s += intestazione(r);
    s += riepilogo(r);
    s += elencoControlli(ordinati);
    s += differenze(ordinati);
    s += recordProblema(ordinati);
    s += QStringLiteral("<footer>Rapporto scritto da Corvale %1 il %2.</footer>\n</body></html>\n")
             .arg(h(r.VersioneProgramma), h(it.toString(r.Momento, QStringLiteral("dd/MM/yyyy 'alle' HH:mm"))));
    return s;
}

bool ScriviRapportoHtml(const RapportoControllo& r, const QString& file, QString* errore)
{
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(RapportoHtml(r).toUtf8()) < 0 || !f.commit()) {
        if (errore)
            *errore = QStringLiteral("Impossibile scrivere il rapporto %1.\n%2")
                          .arg(QDir::toNativeSeparators(file), f.errorString());
        return false;
    }
    return true;
}

QString NomeRapportoProposto(const QString& cartella, const QDate& giorno)
{
    return QDir(cartella).filePath(
        QStringLiteral("rapporto-controllo-%1.html").arg(giorno.toString(QStringLiteral("yyyy-MM-dd"))));
}

}  // namespace corvale
