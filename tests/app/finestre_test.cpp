// The busy pointer and the centring of a window.
#include "app/finestre.h"

#include <QApplication>
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
