// corvale: the windowed program. Main reads the settings and the master's stamp, ignoring any
// error, then shows the main window; the program ends when its last window is closed.
#include "app/ambiente.h"
#include "app/avvio.h"
#include "app/frmprinc.h"
#include "maintenance/frmregistro.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvale"));
    try {
        corvale::LeggiPathArchivi();
    } catch (...) {
        // Errors during start-up are ignored; the main window is shown all the same.
    }
    corvale::PreparaSicurezzaFinestre();
    auto* finestra = new corvale::FrmPrinc;
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    finestra->show();
    const int esito = app.exec();
    // The open databases are released, not closed, as the program ends.
    corvale::DbArchivi = dbe::Database();
    corvale::DbMaster = dbe::Database();
    return esito;
}
