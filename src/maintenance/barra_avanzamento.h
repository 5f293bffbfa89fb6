#pragma once
// BarraAvanzamento: the progress bar PBar of the problem-record view as the walks see it
// (Avanzamento). The widget is updated and repainted only when what it shows changes (its percent),
// and at most every 50 ms, so a walk over hundreds of thousands of records spends its time on the
// records, not the bar.
#include "records/avanzamento.h"

#include <QElapsedTimer>

class QProgressBar;

namespace corvale {

class BarraAvanzamento : public Avanzamento {
public:
    explicit BarraAvanzamento(QProgressBar* barra) : barra_(barra) {}
    void ImpostaMassimo(qint64 massimo) override;
    void ImpostaValore(qint64 valore) override;
    qint64 Valore() const override { return valore_; }
    void Mostra(bool visibile) override;
    void Ridisegna() override;
    // Times the bar was actually repainted (for measurements).
    qint64 Ridisegni() const { return ridisegni_; }

private:
    int percento(qint64 v) const;
    QProgressBar* barra_;
    qint64 massimo_ = 0;
    qint64 valore_ = 0;
    int mostrato_ = -1;  // percent last shown
    bool sporca_ = false;
    qint64 ridisegni_ = 0;
    QElapsedTimer orologio_;  // since the last repaint
};

}  // namespace corvale
