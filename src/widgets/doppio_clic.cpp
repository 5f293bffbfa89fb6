#include "doppio_clic.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWidget>

namespace corvale {

void GuardiaDoppioClic::Proteggi(QWidget* pulsante) { pulsante->installEventFilter(this); }

bool GuardiaDoppioClic::eventFilter(QObject* o, QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonDblClick: return true;
    case QEvent::MouseButtonPress: {
        const auto* me = static_cast<QMouseEvent*>(e);
        const quint64 t = me->timestamp();
        const QPointF p = me->globalPosition();
        const QStyleHints* h = QGuiApplication::styleHints();
        const QPointF d = p - ultimoPunto_;
        const bool seconda = t != 0 && ultimaPressione_ != 0 && t >= ultimaPressione_
                             && t - ultimaPressione_ < quint64(h->mouseDoubleClickInterval())
                             && qAbs(d.x()) <= h->mouseDoubleClickDistance()
                             && qAbs(d.y()) <= h->mouseDoubleClickDistance();
        if (seconda) {
            inghiottiRilascio_ = true;
            return true;
        }
        ultimaPressione_ = t;
        ultimoPunto_ = p;
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (inghiottiRilascio_) {
            inghiottiRilascio_ = false;
            return true;
        }
        return false;
    default: return QObject::eventFilter(o, e);
    }
}

}  // namespace corvale
