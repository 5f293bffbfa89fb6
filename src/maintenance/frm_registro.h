#pragma once
// FrmRegistro: the window "Registro delle modifiche", the windowed program's way back. It lists the
// changes of the open archive's journal, newest first, shows the selected change with its records
// (before and after), and offers "Annulla modifica" (the records of the selected change go back,
// as `corvale-cli annulla`) and "Ripristina copia" (the safety copy of the selected change's
// session replaces the archive, as `corvale-cli ripristina`). Both ask first and report the outcome
// to the session's operator. Opened by Ctrl+R in the maintenance window.
// PreparaSicurezzaFinestre sets the safety gate's notices for the windowed program: the copy's
// notice as a message box, the repair offered as a question, a progress dialog on a big archive.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace corvale {

class Sessione;

void PreparaSicurezzaFinestre(Sessione& sessione);

class FrmRegistro : public QDialog {
    Q_OBJECT
public:
    explicit FrmRegistro(Sessione& sessione, QWidget* parent = nullptr);

    // Reads the journal again into the list; the entry selected stays selected (the newest at first).
    void Aggiorna();
    // Selects the entry with that id; false when the list has none.
    bool Seleziona(qint64 id);
    qint64 Selezionata() const;
    void AnnullaModifica_Click();
    void RipristinaCopia_Click();

    QTreeWidget* LstVoci() const { return lst_; }
    QPlainTextEdit* TxtDettaglio() const { return dett_; }
    QPushButton* PulsAnnulla() const { return annulla_; }
    QPushButton* PulsRipristina() const { return ripristina_; }

private:
    void mostraDettaglio();

    Sessione& s_;

    QTreeWidget* lst_ = nullptr;
    QPlainTextEdit* dett_ = nullptr;
    QPushButton* annulla_ = nullptr;
    QPushButton* ripristina_ = nullptr;
    QPushButton* chiudi_ = nullptr;
};

}  // namespace corvale
