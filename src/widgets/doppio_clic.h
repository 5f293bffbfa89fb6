#pragma once
// GuardiaDoppioClic: makes a double click on a window's command buttons one press, not two. A
// button that changes the window's mode puts another command under the pointer, often in the same
// place ("Dettagli" becomes "Esegui", "Apri DB" becomes "Chiudi DB"), and the second press of a
// double click would press that one. The guard swallows, on the buttons it protects, every
// double-click event and any press that comes within the system's double-click time and distance
// of the previous press on one of them (with its release). Events that carry no time are let by.
#include <QObject>
#include <QPointF>

class QWidget;

namespace corvale {

class GuardiaDoppioClic : public QObject {
    Q_OBJECT
public:
    explicit GuardiaDoppioClic(QObject* parent) : QObject(parent) {}
    void Proteggi(QWidget* pulsante);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    quint64 ultimaPressione_ = 0;  // time of the last press let through, 0: none yet
    QPointF ultimoPunto_;
    bool inghiottiRilascio_ = false;
};

}  // namespace corvale
