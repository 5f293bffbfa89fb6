#pragma once
// The way from the main window into the maintenance window: ApriManutenzione shows a new
// maintenance window (FrmRepair) modally over its parent and returns when it is closed.
// Tests replace the opening with a hook of their own.
#include <functional>

class QWidget;

namespace corvale {

class Sessione;

void ApriManutenzione(Sessione& sessione, QWidget* padre);

// Test hook: when set, ApriManutenzione calls it instead of showing the window; nullptr restores
// the window.
void ImpostaAperturaManutenzione(std::function<void(QWidget* padre)> apertura);

}  // namespace corvale
