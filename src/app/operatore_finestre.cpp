#include "app/operatore_finestre.h"

#include "widgets/finestre.h"

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
// A box shows at most this many lines of its text; the rest goes to its details.
constexpr int kRigheInVista = 14;

// Splits a text too long for a box: its first lines and its last paragraph (the question, when
// there is one) stay in view, the lines between go to *dettagli. A text that fits stays whole.
QString inVista(const QString& righe, QString* dettagli)
{
    const QStringList tutte = righe.split(QChar(u'\n'));
    if (tutte.size() <= kRigheInVista)
        return righe;
    int ultimo = int(tutte.size());  // the last paragraph: the lines after the last blank one
    while (ultimo > 0 && !tutte[ultimo - 1].trimmed().isEmpty())
        --ultimo;
    if (tutte.size() - ultimo > kRigheInVista / 2)
        ultimo = int(tutte.size());
    const int testa = kRigheInVista - int(tutte.size() - ultimo) - 2;
    const QStringList mezzo = tutte.mid(testa, ultimo - testa);
    *dettagli = mezzo.join(QChar(u'\n')).trimmed();
    QString vista = tutte.mid(0, testa).join(QChar(u'\n'));
    vista += QStringLiteral("\n(altre %1 righe nei dettagli)").arg(mezzo.size());
    if (ultimo < tutte.size())
        vista += QStringLiteral("\n\n") + tutte.mid(ultimo).join(QChar(u'\n'));
    return vista;
}
}  // namespace

std::unique_ptr<QMessageBox> OperatoreFinestre::Box(const QString& testo, Pulsanti pulsanti, QWidget* padre)
{
    // A carriage return inside a text starts a new line of the box.
    QString righe = testo;
    righe.replace(QChar(u'\r'), QChar(u'\n'));
    QString dettagli;
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, kTitolo, inVista(righe, &dettagli),
                                             QMessageBox::NoButton, padre);
    if (!dettagli.isEmpty())
        box->setDetailedText(dettagli);
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
    return Rispondi(testo, pulsanti);
}

Risposta OperatoreFinestre::Rispondi(const QString& testo, Pulsanti pulsanti)
{
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
