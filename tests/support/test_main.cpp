// Test entry point. Binaries that test windows get a QApplication on the offscreen platform, so
// that they can create real windows; the engine's and the logic's get a QCoreApplication. The
// descriptor guard watches every test.
#include "guardia_descrittori.h"

#ifdef CORVALE_PROVA_FINESTRE
#include <QApplication>
using Applicazione = QApplication;
#else
#include <QCoreApplication>
using Applicazione = QCoreApplication;
#endif
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testsupport::InstallaGuardiaDescrittori();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    Applicazione app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
