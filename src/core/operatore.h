#pragma once
// Operatore: everything the logic asks of the person at the keyboard goes through this one small
// interface: notices and confirmations, a line of input, and the busy pointer. The windows answer
// with message boxes (app/operatore_finestre.h), corvale-cli from its flags, the tests with a
// recorder. The logic never includes a window header; it reaches the operator through its session.
#include <QString>

namespace corvale {

enum class Pulsanti { Ok, SiNo };
enum class Risposta { Ok, Si, No };

class Operatore {
public:
    virtual ~Operatore() = default;
    // A notice (Ok) or a question (SiNo); returns the operator's answer.
    virtual Risposta Mostra(const QString& testo, Pulsanti pulsanti = Pulsanti::Ok) = 0;
    // An input box with a prompt and no default text; the entry, or the empty text on cancel.
    virtual QString Chiedi(const QString& prompt) = 0;
    // The hourglass: on (true) or off (false; also without a preceding true).
    virtual void Clessidra(bool attiva) = 0;
};

// The hourglass for the life of the object: on when made, off again on any exit, exceptions
// included.
class ClessidraAccesa {
public:
    explicit ClessidraAccesa(Operatore& operatore) : operatore_(operatore) { operatore_.Clessidra(true); }
    ~ClessidraAccesa() { operatore_.Clessidra(false); }
    ClessidraAccesa(const ClessidraAccesa&) = delete;
    ClessidraAccesa& operator=(const ClessidraAccesa&) = delete;

private:
    Operatore& operatore_;
};

}  // namespace corvale
