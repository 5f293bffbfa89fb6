#pragma once
// ImgList: the four 16 x 16 state images of the task list and the structure corrections list,
// by key ("DA_ESEGUIRE", "IN_CORSO", "VERIFICATO_OK", "PROBLEMI"). They are drawn once, at first
// use, and need a running GUI application. An unknown or empty key gives a null icon.
#include <QIcon>
#include <QString>
#include <QStringList>

namespace corvale {

class ImgList {
public:
    static QIcon Immagine(const QString& chiave);
    static QStringList Chiavi();
};

}  // namespace corvale
