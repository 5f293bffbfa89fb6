// corvale: the windowed program. Start-up reads the settings and shows the main window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvale"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Lumera Win 2001 - Gestione Archivi"));
    w.show();
    return app.exec();
}
