#pragma once
// DirSelector ("Corvale.DirSelector"): the main window's folder selector. Apri shows a modal folder
// chooser, limited to folders, with a title line, and returns the chosen folder's full path as the
// system writes it, or the empty text when the operator cancels. It keeps no state between calls
// and always keeps its size of 600 x 600 twips (40 x 40 pixels). Tests replace the chooser through
// ImpostaScelta, as they answer message boxes through Messaggi.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace corvale {

class DirSelector : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* NomeClasse = "Corvale.DirSelector";
    static constexpr int Lato = 40;  // 600 twips

    explicit DirSelector(QWidget* padre = nullptr);

    // The chosen folder, or the empty text on cancel.
    QString Apri(const QString& Titolo);

    // Test hook: replaces the chooser (called with the owner window and the title); nullptr
    // restores it. Every title asked for is recorded in order.
    using Scelta = std::function<QString(QWidget* padre, const QString& titolo)>;
    static void ImpostaScelta(Scelta scelta);
    static QStringList& Titoli();
};

}  // namespace corvale
