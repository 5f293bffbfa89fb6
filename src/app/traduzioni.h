#pragma once
// CaricaTraduzioniQt: installs Qt's own Italian translations (qtbase_it, from the system's Qt
// translations folder) in the application, so that the texts Qt writes itself (the folder
// chooser, the context menus of text boxes, standard buttons) are Italian like the program's.
// Returns false, changing nothing, when the translations are not installed.
namespace corvale {

bool CaricaTraduzioniQt();

}  // namespace corvale
