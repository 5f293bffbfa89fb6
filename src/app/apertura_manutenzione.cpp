#include "apertura_manutenzione.h"

#include "maintenance/frm_repair.h"

namespace corvale {

namespace {
std::function<void(QWidget*)>& apertura()
{
    static std::function<void(QWidget*)> a;
    return a;
}
}  // namespace

void ImpostaAperturaManutenzione(std::function<void(QWidget* padre)> a) { apertura() = std::move(a); }

void ApriManutenzione(Sessione& sessione, QWidget* padre)
{
    if (apertura()) {
        apertura()(padre);
        return;
    }
    // A fresh window each time, with a freshly loaded catalogue; it dies when closed.
    FrmRepair finestra(sessione, padre);
    finestra.exec();
}

}  // namespace corvale
