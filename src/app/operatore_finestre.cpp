#include "app/operatore_finestre.h"

#include "app/finestre.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace corvale {

namespace {
const QString kTitolo = QStringLiteral("Corvale");
}  // namespace

Risposta OperatoreFinestre::Mostra(const QString& testo, Pulsanti pulsanti)
{
    // A carriage return inside a text starts a new line of the box.
    QString righe = testo;
    righe.replace(QChar(u'\r'), QChar(u'\n'));
    QMessageBox box(QMessageBox::Information, kTitolo, righe, QMessageBox::NoButton,
                    QApplication::activeWindow());
    if (pulsanti == Pulsanti::Ok) {
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
        return Risposta::Ok;
    }
    QPushButton* si = box.addButton(QStringLiteral("Sì"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
    box.setDefaultButton(si);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == si ? Risposta::Si : Risposta::No;
}

QString OperatoreFinestre::Chiedi(const QString& prompt)
{
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(kTitolo);
    dlg.setLabelText(prompt);
    dlg.setTextValue(QString());
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Annulla"));
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.textValue();
}

void OperatoreFinestre::Clessidra(bool attiva) { corvale::Clessidra(attiva); }

}  // namespace corvale
