#pragma once
// PulsanteMultiriga: a push button whose caption wraps onto several lines inside the button, for
// the tall, narrow buttons of the main window. text() stays the caption as given.
#include <QPushButton>

namespace corvale {

class PulsanteMultiriga : public QPushButton {
    Q_OBJECT
public:
    explicit PulsanteMultiriga(const QString& testo, QWidget* padre = nullptr);

protected:
    void paintEvent(QPaintEvent* evento) override;
};

}  // namespace corvale
