#include "barra_avanzamento.h"

#include <QProgressBar>
#include <limits>

namespace corvale {

namespace {
int limita(qint64 v) { return int(qBound<qint64>(qint64(0), v, qint64(std::numeric_limits<int>::max()))); }
}  // namespace

int BarraAvanzamento::percento(qint64 v) const
{
    return massimo_ > 0 ? int(qBound<qint64>(qint64(0), v * 100 / massimo_, qint64(100))) : 0;
}

void BarraAvanzamento::ImpostaMassimo(qint64 massimo)
{
    massimo_ = massimo;
    barra_->setMaximum(limita(massimo));
    mostrato_ = -1;
    sporca_ = true;
}

void BarraAvanzamento::ImpostaValore(qint64 valore)
{
    valore_ = valore;
    const int p = percento(valore);
    if (p != mostrato_ || valore == 0 || valore == massimo_) {
        mostrato_ = p;
        sporca_ = true;
    }
    // The first and the last value reach the widget at once, the others when repainted.
    if (sporca_ && (valore == 0 || valore == massimo_))
        Ridisegna();
}

void BarraAvanzamento::Mostra(bool visibile) { barra_->setVisible(visibile); }

void BarraAvanzamento::Ridisegna()
{
    // A new percent is shown at most every kMsRidisegno: a repaint costs as much as hundreds of
    // records, and the eye takes no more. The first and the last value are always shown.
    constexpr qint64 kMsRidisegno = 50;
    if (!sporca_ || (orologio_.isValid() && orologio_.elapsed() < kMsRidisegno && valore_ != 0 && valore_ != massimo_))
        return;
    sporca_ = false;
    // setValue repaints the bar at once when what it shows changes.
    barra_->setValue(limita(qMin(valore_, massimo_ > 0 ? massimo_ : valore_)));
    if (barra_->isVisible()) {
        ++ridisegni_;
        orologio_.start();
    }
}

}  // namespace corvale
