#pragma once
// Coded structure problems: the short texts ("NO-FLD>RAGSOC", "LEN>RAGSOC#50", ...) in which the
// structure check records each difference between a master table and the archive's, stored in the
// parameter slots of the table's structure task and read back item by item by the corrections list
// and the correction dispatcher. Pure functions: nothing here touches a database or a window.
#include <QString>

namespace corvale {

// The eight codes.
namespace cod {
inline const QString NoTab = QStringLiteral("NO-TAB");
inline const QString NoFld = QStringLiteral("NO-FLD");
inline const QString Tipo = QStringLiteral("TIPO");
inline const QString Len = QStringLiteral("LEN");
inline const QString Attr = QStringLiteral("ATTR");
inline const QString NoIdx = QStringLiteral("NO-IDX");
inline const QString NoFldIdx = QStringLiteral("NO-FLDIDX");
inline const QString NoProp = QStringLiteral("NO-PROP");
}  // namespace cod

// Stores COD in the next free problem slot of a structure task whose eleven parameter texts are
// P[0]..P[10] (P[1] the counter, P[2]..P[10] the problems). False, and nothing changed, when the
// task already holds nine problems. A counter that is not a number counts as "1".
bool AggiungiErroreStruttura(QString* P, const QString& COD);

// The item named Cosa ("CODICE", "CAMPO", "INDICE", "ATTRIBUTO", "TIPO", "LUNGHEZZA",
// "PROPRIETA", compared exactly) of a coded problem; the empty text when the code carries no such
// item. A text without ">" is all code; a two-item code without "#" has an empty second item.
QString RicavaDatoDaCod(const QString& Cosa, const QString& COD);

// The corrections list's row text for a coded problem of the table nomeTabella.
QString TestoCorrezione(const QString& nomeTabella, const QString& COD);

}  // namespace corvale
