#pragma once
// FrmPrinc: the main window. The operator chooses the archive folder, opens and closes lumera.mdb
// into the session's DbArchivi, sees and sets its version stamp, passes the version gate into the maintenance
// window, and ends the program. The window is in one of two states (ImpostaDbAperto): closed (path
// box and "Sfoglia" enabled, stamp hidden, "Apri DB") or open (stamp shown, "Chiudi DB", the two
// large buttons enabled). Controls carry the object names LTit, LDescr0, LDescr1, TxtPath,
// PulsDir, PulsApri, Puls0, Puls1, PulsFine and DirSel. Every message goes to the session's operator.
// The window opens at its designed size and may be enlarged; Enter presses the focused button, and
// a double click on a button is one press.
#include <QVector>
#include <memory>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvale {

class DirSelector;
class Sessione;

class FrmPrinc : public QWidget {
    Q_OBJECT
public:
    // Window positions are given in twips; 15 twips make one pixel.
    static constexpr int Twip = 15;

    // Loading the window: centred, closed state, PathArchivi in the path box.
    explicit FrmPrinc(Sessione& sessione, QWidget* padre = nullptr);
    ~FrmPrinc() override;

    // Puts the window into the open (true) or closed (false) state. Entering the open state reads
    // the stamp (which may add a record to an empty AGENZIA); a failing read is reported and leaves
    // the window open with an empty stamp.
    void ImpostaDbAperto(bool Aperto);
    bool DbAperto() const { return dbAperto_; }

    // The operator's actions, one handler each.
    void PulsApri_Click();
    void PulsDir_Click();
    void PulsFine_Click();
    // The path check: a notice when the folder typed in the path box holds no lumera.mdb. When a
    // mouse press on a button takes the focus from the path box, the check waits for the press to
    // end and runs first thing in the button's handler, so the notice never swallows the click.
    void TxtPath_LostFocus();
    void Puls_Click(int Index);

    QLabel* LTit = nullptr;
    QVector<QLabel*> LDescr;
    QLineEdit* TxtPath = nullptr;
    QPushButton* PulsDir = nullptr;
    QPushButton* PulsApri = nullptr;
    QVector<QPushButton*> Puls;
    QPushButton* PulsFine = nullptr;
    DirSelector* DirSel = nullptr;

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    Sessione& s_;
    void disponi();
    void ImpostaNumeroVersione();
    void AnalisiStruttura();
    void ControlloPendente();

    bool dbAperto_ = false;
    // This Corvale's mark on the archive while it is open here: a restore elsewhere waits for it.
    std::unique_ptr<class PresenzaArchivio> presenza_;
    bool controlloPendente_ = false;  // the path box lost the focus to a mouse press
};

}  // namespace corvale
