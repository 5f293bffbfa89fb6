#pragma once
// Whether a button shows a text whole: the text's width in the button's font against the room its
// style leaves for the text.
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace testsupport {

inline bool testoIntero(const QPushButton* b, const QString& testo)
{
    QStyleOptionButton o;
    o.initFrom(b);
    o.text = testo;
    const QRect spazio = b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
    return b->fontMetrics().horizontalAdvance(testo) <= spazio.width();
}

}  // namespace testsupport
