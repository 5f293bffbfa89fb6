#include "support/sessione_prova.h"

#include "core/guardia_archivio.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace corvale::prova {

Risposta OperatoreProva::Mostra(const QString& testo, Pulsanti pulsanti)
{
    mostrati_.append(testo);
    if (responder_)
        return responder_(testo, pulsanti);
    return pulsanti == Pulsanti::SiNo ? Risposta::No : Risposta::Ok;
}

QString OperatoreProva::Chiedi(const QString& prompt)
{
    mostrati_.append(prompt);
    return inputResponder_ ? inputResponder_(prompt) : QString();
}

void OperatoreProva::Azzera()
{
    responder_ = nullptr;
    inputResponder_ = nullptr;
    mostrati_.clear();
    clessidra_ = false;
}

namespace {

// The operator and the session of the running test: made when a test starts (or when first asked
// for outside a test), closed and destroyed when it ends, so that nothing one test left in them
// reaches the next.
struct AmbienteTest {
    OperatoreProva operatore;
    Sessione sessione{operatore};
    AmbienteTest()
    {
        // Fixtures write their archives through the session's handle: the guard refuses nothing
        // unless a test arms it.
        sessione.DbArchivi.Guardia()->Arma(false);
    }
    ~AmbienteTest() { sessione.ChiudiDatabase(); }
};

std::unique_ptr<AmbienteTest>& Corrente()
{
    static std::unique_ptr<AmbienteTest> corrente;
    return corrente;
}

class AmbientePerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { Corrente() = std::make_unique<AmbienteTest>(); }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        // Windows a test deleted later go first: they may still look at the session.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Corrente().reset();
    }
};

const bool kRegistrato = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new AmbientePerTest);
    return true;
}();

AmbienteTest& Ambiente()
{
    (void)kRegistrato;
    if (!Corrente())
        Corrente() = std::make_unique<AmbienteTest>();
    return *Corrente();
}

}  // namespace

OperatoreProva& OperatoreDiProva() { return Ambiente().operatore; }

Sessione& SessioneProva() { return Ambiente().sessione; }

}  // namespace corvale::prova
