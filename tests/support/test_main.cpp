// Test entry point: a QApplication on the offscreen platform, so that window tests can create
// real windows; engine and logic tests simply ignore it. The descriptor guard watches every test.
#include "guardia_descrittori.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testsupport::InstallaGuardiaDescrittori();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
