#pragma once
// Avanzamento: the progress bar of a record walk, seen by the walks without its widget. A walk sets
// the maximum and the value 0, shows the bar, advances it by one and repaints after each record, and
// hides it at the end. AvanzamentoNullo does nothing (the command-line tool has no bar).
#include <QtGlobal>

namespace corvale {

class Avanzamento {
public:
    virtual ~Avanzamento() = default;
    virtual void ImpostaMassimo(qint64 massimo) = 0;
    virtual void ImpostaValore(qint64 valore) = 0;
    virtual qint64 Valore() const = 0;
    virtual void Mostra(bool visibile) = 0;
    // Makes the current value visible at once (the walks do not yield to the event loop).
    virtual void Ridisegna() = 0;

    // One more record: value + 1, then repaint.
    void Avanza()
    {
        ImpostaValore(Valore() + 1);
        Ridisegna();
    }
};

class AvanzamentoNullo : public Avanzamento {
public:
    void ImpostaMassimo(qint64) override {}
    void ImpostaValore(qint64 v) override { valore_ = v; }
    qint64 Valore() const override { return valore_; }
    void Mostra(bool) override {}
    void Ridisegna() override {}

private:
    qint64 valore_ = 0;
};

}  // namespace corvale
