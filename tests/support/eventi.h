#pragma once
// Real input for the window tests: mouse clicks, double clicks and keys go in through the window
// system layer, as the platform hands them over, so the focus moves on a press, a double click is
// recognised from its timing, and every filter sees what an operator's hand would produce.
#include <QPoint>
#include <QString>
#include <Qt>

class QComboBox;
class QTreeWidget;
class QWidget;

namespace testsupport {

// Shows the window and waits until it is the active one (keys go to its focus widget).
void mostra(QWidget* finestra);
// A click of that button at p in w's coordinates (the middle of w when p is null).
void clic(QWidget* w, QPoint p = QPoint(), Qt::KeyboardModifiers m = Qt::NoModifier,
          Qt::MouseButton b = Qt::LeftButton);
// A double click at one place: press, release, press (the double click), release.
void doppioClic(QWidget* w, QPoint p = QPoint());
// A key pressed and released `volte` times in w's window (it reaches the focus widget).
void tasto(QWidget* w, Qt::Key k, int volte = 1, Qt::KeyboardModifiers m = Qt::NoModifier);
// Text typed into w's window.
void scrivi(QWidget* w, const QString& testo);
// A click on row r of a list (in its text, not its check box).
void clicRiga(QTreeWidget* lista, int r);
// Chooses entry i of a combo box from its open list, with the mouse.
void scegliDallaLista(QComboBox* c, int i);

}  // namespace testsupport
