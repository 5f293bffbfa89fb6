#pragma once
// Clessidra and CentraForm: the busy pointer around long operations and the centring of a window
// on the screen, used by every window; LarghezzaPulsante, the room a button needs for its texts.
#include <QStringList>

class QPushButton;
class QWidget;

namespace corvale {

// True: the application-wide pointer becomes the hourglass; False: back to the default pointer
// (also without a preceding True).
void Clessidra(bool attiva);
// True while the hourglass is shown.
bool ClessidraAttiva();
// Centres the window on its screen.
void CentraForm(QWidget* finestra);
// The width at which the button shows each of these texts whole, in its own font and style.
int LarghezzaPulsante(const QPushButton* pulsante, const QStringList& testi);

}  // namespace corvale
