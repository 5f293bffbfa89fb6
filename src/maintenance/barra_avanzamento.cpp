#include "barra_avanzamento.h"

#include <QProgressBar>
#include <limits>

namespace corvale {

namespace {
int limita(qint64 v)
{
    return int(qBound<qint64>(qint64(0), v, qint64(std::numeric_limits<int>::max())));
}
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
        barra_->setValue(limita(qMin(valore, massimo_ > 0 ? massimo_ : valore)));
        mostrato_ = p;
        sporca_ = true;
    }
}

void BarraAvanzamento::Mostra(bool visibile)
{
    barra_->setVisible(visibile);
}

void BarraAvanzamento::Ridisegna()
{
    if (!sporca_)
        return;
    sporca_ = false;
    if (barra_->isVisible()) {
        barra_->repaint();
        ++ridisegni_;
    }
}

}  // namespace corvale
