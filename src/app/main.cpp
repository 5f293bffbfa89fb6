// corvale: the windowed program. Main makes the session with the windows' operator, reads the
// settings and the master's stamp into it, ignoring any error, then shows the main window; the
// program ends when its last window is closed.
#include "access/pulizia.h"
#include "app/frm_princ.h"
#include "maintenance/frm_registro.h"
#include "app/operatore_finestre.h"
#include "core/avvio.h"
#include "core/sessione.h"
#include "app/traduzioni.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    corvale::access::InstallaPuliziaAllInterruzione();
    QApplication::setApplicationName(QStringLiteral("Corvale"));
    corvale::OperatoreFinestre operatore;
    corvale::Sessione sessione(operatore);
    corvale::CaricaTraduzioniQt();
    try {
        corvale::LeggiPathArchivi(sessione);
    } catch (...) {
        // Errors during start-up are ignored; the main window is shown all the same.
    }
    corvale::PreparaSicurezzaFinestre(sessione);
    auto* finestra = new corvale::FrmPrinc(sessione);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    finestra->show();
    const int esito = app.exec();
    // The open databases are released, not closed, as the program ends.
    sessione.ChiudiDatabase();
    return esito;
}
