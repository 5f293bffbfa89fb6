#pragma once
// Messaggi: every message box and input box of the program goes through here. A box carries the
// application's title "Corvale", the information icon and Italian buttons ("OK", "Sì", "No").
// Tests install a responder that answers in place of the operator and read what was shown.
// While a box is up, the hourglass is put away (the operator is being asked, nothing is running)
// and comes back when the box closes.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace corvale {

enum class Pulsanti { Ok, SiNo };
enum class Risposta { Ok, Si, No };

class Messaggi {
public:
    // A notice (Ok) or a question (SiNo); returns the operator's answer.
    static Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok);
    // An input box with a prompt and no default text; the entry, or the empty text on cancel.
    static QString Chiedi(const QString& prompt);
    // The box that Mostra shows for that text, not yet shown (for pictures of the program).
    static std::unique_ptr<QMessageBox> Box(const QString& testo, Pulsanti pulsanti, QWidget* padre);

    // Test hooks: a responder replaces the boxes; every text shown is recorded in order.
    using Responder = std::function<Risposta(const QString& testo, Pulsanti pulsanti)>;
    using InputResponder = std::function<QString(const QString& prompt)>;
    static void ImpostaRisponditore(Responder r);
    static void ImpostaRisponditoreInput(InputResponder r);
    static QStringList& Mostrati();  // texts shown (notices, questions and prompts) in order
    static void Azzera();            // removes the responders and clears the record
};

}  // namespace corvale
