// The busy pointer and the centring of a window.
#include "widgets/finestre.h"
#include "app/operatore_finestre.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

using namespace corvale;

TEST(Finestre, ClessidraECentraForm)
{
    Clessidra(false);  // without a preceding True: simply the default pointer
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    Clessidra(true);
    Clessidra(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_TRUE(ClessidraAttiva());
    Clessidra(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ClessidraAttiva());

    QWidget w;
    w.resize(201, 99);
    CentraForm(&w);
    const QRect schermo = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(qAbs(w.frameGeometry().center().x() - schermo.center().x()), 1);
    EXPECT_LE(qAbs(w.frameGeometry().center().y() - schermo.center().y()), 1);
}

// Texts of every length, as the integrity check's findings are (one line per problem, then the
// question): the box fits the screen, the question and its buttons stay in view, and every line of
// the text is in the box, in view or in its details.
TEST(Finestre, BoxesOfLongTextsFitTheScreenAndLoseNoLine)
{
    QRandomGenerator caso(7);
    const QRect schermo = QGuiApplication::primaryScreen()->availableGeometry();
    for (int k = 0; k < 24; ++k) {
        const int n = k < 4 ? k + 1 : int(caso.bounded(1, 220));
        const bool domanda = caso.bounded(2) == 0;
        QStringList righe;
        for (int i = 0; i < n; ++i)
            righe << QStringLiteral("*** in database main *** Page %1: btreeInitPage() returns error code 11 (riga %2)")
                         .arg(caso.bounded(100000))
                         .arg(i);
        QString testo = QStringLiteral("L'archivio è danneggiato:\r") + righe.join(QChar(u'\r'));
        if (domanda)
            testo += QStringLiteral("\r\rRiparare ora l'archivio?");
        SCOPED_TRACE(QStringLiteral("%1 righe, domanda %2").arg(n).arg(domanda).toStdString());
        const std::unique_ptr<QMessageBox> box =
            OperatoreFinestre::Box(testo, domanda ? Pulsanti::SiNo : Pulsanti::Ok, nullptr);
        box->show();
        QApplication::processEvents();
        EXPECT_LE(box->frameGeometry().height(), schermo.height());
        EXPECT_LE(box->text().count(QChar(u'\n')) + 1, 20);
        if (domanda) {
            EXPECT_TRUE(box->text().endsWith(QStringLiteral("Riparare ora l'archivio?")));
            int risposte = 0;
            for (const QAbstractButton* b : box->buttons())
                risposte += b->text() == QStringLiteral("Sì") || b->text() == QStringLiteral("No");
            EXPECT_EQ(risposte, 2);
        }
        const QString tutto = box->text() + QChar(u'\n') + box->detailedText();
        for (const QString& r : righe)
            EXPECT_TRUE(tutto.contains(r)) << r.toStdString();
        box->hide();
    }
}
