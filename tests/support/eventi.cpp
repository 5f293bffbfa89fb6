#include "eventi.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace testsupport {

namespace {
// The top-level window of w and p in its coordinates.
QWindow* finestraDi(QWidget* w, QPoint& p)
{
    if (p.isNull())
        p = w->rect().center();
    QWidget* alto = w->window();
    p = w->mapTo(alto, p);
    return alto->windowHandle();
}
}  // namespace

void mostra(QWidget* finestra)
{
    finestra->show();
    finestra->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(finestra));
}

void clic(QWidget* w, QPoint p, Qt::KeyboardModifiers m, Qt::MouseButton b)
{
    QWindow* f = finestraDi(w, p);
    ASSERT_NE(f, nullptr) << "window not shown";
    QTest::mouseClick(f, b, m, p);
}

void doppioClic(QWidget* w, QPoint p)
{
    QWindow* f = finestraDi(w, p);
    ASSERT_NE(f, nullptr) << "window not shown";
    QTest::mouseDClick(f, Qt::LeftButton, Qt::NoModifier, p);
}

void tasto(QWidget* w, Qt::Key k, int volte, Qt::KeyboardModifiers m)
{
    QWindow* f = w->window()->windowHandle();
    ASSERT_NE(f, nullptr) << "window not shown";
    for (int i = 0; i < volte; ++i)
        QTest::keyClick(f, k, m);
}

void scrivi(QWidget* w, const QString& testo)
{
    QWindow* f = w->window()->windowHandle();
    ASSERT_NE(f, nullptr) << "window not shown";
    for (const QChar c : testo)
        QTest::keyClick(f, c.toLatin1());
}

void clicRiga(QTreeWidget* lista, int r)
{
    const QRect rc = lista->visualItemRect(lista->topLevelItem(r));
    clic(lista->viewport(), QPoint(rc.left() + lista->columnWidth(0) / 2, rc.center().y()));
}

void scegliDallaLista(QComboBox* c, int i)
{
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    const QRect freccia = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, c);
    clic(c, freccia.center());
    QAbstractItemView* elenco = c->view();
    ASSERT_TRUE(elenco->isVisible()) << "the list did not open";
    const QModelIndex voce = c->model()->index(i, 0);
    elenco->scrollTo(voce);
    QTest::qWait(QApplication::doubleClickInterval() + 10);  // the opening press is over
    clic(elenco->viewport(), elenco->visualRect(voce).center());
    EXPECT_FALSE(elenco->isVisible()) << "the list stayed open";
}

}  // namespace testsupport
