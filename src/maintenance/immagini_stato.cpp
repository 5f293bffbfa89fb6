#include "immagini_stato.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace corvale {

namespace {

QPixmap tela()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

// A grey clock face: waiting to be run.
QPixmap daEseguire()
{
    QPixmap pm = tela();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(80, 80, 80), 1.2));
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawLine(QPointF(8, 8), QPointF(8, 4));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
    return pm;
}

// A blue hourglass: the check is running.
QPixmap inCorso()
{
    QPixmap pm = tela();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 140), 1.2));
    p.setBrush(QColor(120, 170, 240));
    QPainterPath clessidra;
    clessidra.moveTo(3.5, 2);
    clessidra.lineTo(12.5, 2);
    clessidra.lineTo(8, 8);
    clessidra.lineTo(12.5, 14);
    clessidra.lineTo(3.5, 14);
    clessidra.lineTo(8, 8);
    clessidra.closeSubpath();
    p.drawPath(clessidra);
    return pm;
}

// A green tick: the check passed.
QPixmap verificatoOk()
{
    QPixmap pm = tela();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 130, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath spunta;
    spunta.moveTo(2.5, 8.5);
    spunta.lineTo(6.5, 12.5);
    spunta.lineTo(13.5, 3.5);
    p.drawPath(spunta);
    return pm;
}

// A red disc with a white exclamation mark: problems found.
QPixmap problemi()
{
    QPixmap pm = tela();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(7, 3.5, 2, 6.5), 1, 1);
    p.drawEllipse(QRectF(7, 11, 2, 2));
    return pm;
}

}  // namespace

QStringList ImgList::Chiavi()
{
    return {QStringLiteral("DA_ESEGUIRE"), QStringLiteral("IN_CORSO"), QStringLiteral("VERIFICATO_OK"),
            QStringLiteral("PROBLEMI")};
}

QIcon ImgList::Immagine(const QString& chiave)
{
    static QHash<QString, QIcon> immagini;
    if (immagini.isEmpty()) {
        immagini.insert(QStringLiteral("DA_ESEGUIRE"), QIcon(daEseguire()));
        immagini.insert(QStringLiteral("IN_CORSO"), QIcon(inCorso()));
        immagini.insert(QStringLiteral("VERIFICATO_OK"), QIcon(verificatoOk()));
        immagini.insert(QStringLiteral("PROBLEMI"), QIcon(problemi()));
    }
    return immagini.value(chiave);
}

}  // namespace corvale
