#include "messaggi.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace corvale {

namespace {
Messaggi::Responder& responder()
{
    static Messaggi::Responder r;
    return r;
}
Messaggi::InputResponder& inputResponder()
{
    static Messaggi::InputResponder r;
    return r;
}
const QString kTitolo = QStringLiteral("Corvale");
}  // namespace

QStringList& Messaggi::Mostrati()
{
    static QStringList l;
    return l;
}

void Messaggi::ImpostaRisponditore(Responder r) { responder() = std::move(r); }
void Messaggi::ImpostaRisponditoreInput(InputResponder r) { inputResponder() = std::move(r); }

void Messaggi::Azzera()
{
    responder() = nullptr;
    inputResponder() = nullptr;
    Mostrati().clear();
}

Risposta Messaggi::Mostra(const QString& testo, Pulsanti pulsanti)
{
    Mostrati().append(testo);
    if (responder())
        return responder()(testo, pulsanti);
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

QString Messaggi::Chiedi(const QString& prompt)
{
    Mostrati().append(prompt);
    if (inputResponder())
        return inputResponder()(prompt);
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

}  // namespace corvale
