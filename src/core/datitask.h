#pragma once
// DatiTask: the record behind one row of the task list. It holds the check's type, its last state
// code, eleven parameter texts, whether a correction may be offered, and the detail text. The
// task table is fixed: indexes 0 to 150, tasks at 1 to NumTask, index 0 never used.
#include <QString>
#include <array>

namespace corvale {

constexpr int MaxTask = 150;       // highest task index
constexpr int NumParametri = 11;   // P(0) to P(10)

struct DatiTask {
    QString Tipo;          // "EN", "ENC", "ENP" or "ST"
    QString Stato;         // "START", "CTRL", "VER_OK", "VER_PRB"; empty before the first state
    std::array<QString, NumParametri> P;
    QString Correggibile;  // "N" when the check's query could not be run
    QString Dettaglio;     // shown in the detail box
};

using TabellaTask = std::array<DatiTask, MaxTask + 1>;

}  // namespace corvale
