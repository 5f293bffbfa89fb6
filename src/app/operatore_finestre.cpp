#include "app/operatore_finestre.h"

#include "app/finestre.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace corvale {

namespace {
const QString kTitolo = QStringLiteral("Corvale");

// The hourglass put away while the operator reads or answers, and put back afterwards.
class PuntatoreLibero {
public:
    PuntatoreLibero()
    {
        while (QGuiApplication::overrideCursor()) {
            ++tolti_;
            QGuiApplication::restoreOverrideCursor();
        }
    }
    ~PuntatoreLibero()
    {
        for (int i = 0; i < tolti_; ++i)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    PuntatoreLibero(const PuntatoreLibero&) = delete;
    PuntatoreLibero& operator=(const PuntatoreLibero&) = delete;

private:
    int tolti_ = 0;
};
}  // namespace

std::unique_ptr<QMessageBox> OperatoreFinestre::Box(const QString& testo, Pulsanti pulsanti, QWidget* padre)
{
    // A carriage return inside a text starts a new line of the box.
    QString righe = testo;
    righe.replace(QChar(u'\r'), QChar(u'\n'));
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, kTitolo, righe,
                                             QMessageBox::NoButton, padre);
    if (pulsanti == Pulsanti::Ok) {
        box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        return box;
    }
    QPushButton* si = box->addButton(QStringLiteral("Sì"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("No"), QMessageBox::NoRole);
    box->setDefaultButton(si);
    box->setEscapeButton(no);
    return box;
}

Risposta OperatoreFinestre::Mostra(const QString& testo, Pulsanti pulsanti)
{
    PuntatoreLibero puntatore;
    std::unique_ptr<QMessageBox> box = Box(testo, pulsanti, QApplication::activeWindow());
    box->exec();
    if (pulsanti == Pulsanti::Ok)
        return Risposta::Ok;
    return box->clickedButton() == box->defaultButton() ? Risposta::Si : Risposta::No;
}

QString OperatoreFinestre::Chiedi(const QString& prompt)
{
    PuntatoreLibero puntatore;
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
