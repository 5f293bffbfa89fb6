#include "finestre.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace corvale {

namespace {
bool gAttiva = false;
}

void Clessidra(bool attiva)
{
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (gui) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        if (attiva)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    gAttiva = attiva;
}

bool ClessidraAttiva() { return gAttiva; }

void CentraForm(QWidget* finestra)
{
    if (!finestra)
        return;
    QScreen* schermo = finestra->screen() ? finestra->screen() : QGuiApplication::primaryScreen();
    if (!schermo)
        return;
    const QRect area = schermo->geometry();
    const QSize dim = finestra->frameGeometry().size();
    finestra->move(area.x() + (area.width() - dim.width()) / 2, area.y() + (area.height() - dim.height()) / 2);
}

int LarghezzaPulsante(const QPushButton* pulsante, const QStringList& testi)
{
    const QStyle* st = pulsante->style();
    const int margini = 2
                        * (st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, pulsante)
                           + st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, pulsante));
    int w = 0;
    for (const QString& t : testi)
        w = qMax(w, pulsante->fontMetrics().horizontalAdvance(t) + margini);
    return w;
}

}  // namespace corvale
