#pragma once
// DatiTask: the record behind one row of the task list. It holds the check's type, its last state
// code, eleven parameter texts, whether a correction may be offered, and the detail text. The
// task table is fixed: indexes 0 to 150, tasks at 1 to NumTask, index 0 never used.
#include <QString>
#include <array>

namespace corvale {

constexpr int MaxTask = 150;  // highest task index
constexpr int NumParametri = 11;  // P(0) to P(10)

// The kinds of task, by the catalogue's type text: "EN" the empty or incomplete records of one
// table, "ENC" the records whose reference matches no record of another table, "ENP" the records
// of a join (a header without lines, lines without a header), "ST" a table's structure.
enum class GenereTask { RecordNulli, RecordOrfani, RecordAccoppiati, Struttura, Sconosciuto };

inline GenereTask GenereDi(const QString& tipo)
{
    if (tipo == QLatin1String("EN"))
        return GenereTask::RecordNulli;
    if (tipo == QLatin1String("ENC"))
        return GenereTask::RecordOrfani;
    if (tipo == QLatin1String("ENP"))
        return GenereTask::RecordAccoppiati;
    if (tipo == QLatin1String("ST"))
        return GenereTask::Struttura;
    return GenereTask::Sconosciuto;
}

// True for the kinds whose problems are records, which a record correction acts on.
inline bool SuiRecord(GenereTask g)
{
    return g == GenereTask::RecordNulli || g == GenereTask::RecordOrfani || g == GenereTask::RecordAccoppiati;
}

struct DatiTask {
    QString Tipo;  // "EN", "ENC", "ENP" or "ST", as the catalogue writes it (GenereDi)
    QString Stato;  // "START", "CTRL", "VER_OK", "VER_PRB"; empty before the first state
    std::array<QString, NumParametri> P;
    QString Correggibile;  // "N" when the check's query could not be run
    QString Dettaglio;  // shown in the detail box

    GenereTask Genere() const { return GenereDi(Tipo); }
};

using TabellaTask = std::array<DatiTask, MaxTask + 1>;

}  // namespace corvale
