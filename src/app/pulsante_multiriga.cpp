#include "pulsante_multiriga.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace corvale {

PulsanteMultiriga::PulsanteMultiriga(const QString& testo, QWidget* padre) : QPushButton(testo, padre) {}

void PulsanteMultiriga::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opzioni;
    initStyleOption(&opzioni);
    const QString testo = opzioni.text;
    opzioni.text.clear();
    p.drawControl(QStyle::CE_PushButton, opzioni);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &opzioni, this).adjusted(2, 2, -2, -2);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, testo);
}

}  // namespace corvale
