#include "manutenzione.h"

#include "finestre.h"

#include <QDialog>

namespace corvale {

namespace {
std::function<void(QWidget*)>& apertura()
{
    static std::function<void(QWidget*)> a;
    return a;
}
}  // namespace

void ImpostaAperturaManutenzione(std::function<void(QWidget* padre)> a) { apertura() = std::move(a); }

void ApriManutenzione(QWidget* padre)
{
    if (apertura()) {
        apertura()(padre);
        return;
    }
    QDialog finestra(padre);
    finestra.setObjectName(QStringLiteral("FrmRepair"));
    finestra.setWindowTitle(QStringLiteral("Manutenzione Archivi"));
    finestra.setModal(true);
    finestra.resize(640, 480);
    CentraForm(&finestra);
    finestra.exec();
}

}  // namespace corvale
