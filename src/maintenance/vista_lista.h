#pragma once
// VistaLista: shows a ModelloLista in a QTreeWidget laid out as a report list with check boxes and
// 16 x 16 state images, and carries the operator's ticks and selection back into the model. The
// model stays the only place where rows live; the widget mirrors it. Every row carries its whole
// text as a tooltip, and the columns follow the list's width (see adattaColonne).
#include <QObject>

class QTreeWidget;
class QTreeWidgetItem;

namespace corvale {

class ModelloLista;

class VistaLista : public QObject {
    Q_OBJECT
public:
    VistaLista(ModelloLista& modello, QTreeWidget* lista, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void colonne();
    void adattaColonne();
    void ricostruisci();
    void aggiungi(int pos);
    void aggiorna(int pos);
    void rimuovi(int pos);
    void seleziona(int pos);
    void visibile(int pos);
    void spuntaCambiata(QTreeWidgetItem* item, int colonna);
    void correnteCambiata(QTreeWidgetItem* corrente);

    ModelloLista& modello_;
    QTreeWidget* lista_;
    QObject* viewport_ = nullptr;  // compared only, never called
    bool inAggiornamento_ = false;
};

}  // namespace corvale
