#include "frm_registro.h"

#include "core/operatore.h"
#include "core/sessione.h"
#include "widgets/finestre.h"
#include "safety/annulla.h"
#include "safety/modifica_registrata.h"
#include "safety/registro.h"
#include "safety/riga_testo.h"
#include "safety/sessione_sicurezza.h"
#include "vista_aggiornata.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace corvale {

namespace {

constexpr int kColonnaDescrizione = 4;  // "Controllo": the one that stretches

// The journal of the open archive, read without passing the gate (the list changes nothing).
std::shared_ptr<Registro> RegistroAperto(const Sessione& s) { return RegistroPer(s); }

QString Campi(const std::optional<dbe::StoredRow>& r)
{
    if (!r)
        return QStringLiteral("-");
    QStringList l;
    for (int i = 0; i < r->columns.size(); ++i)
        l << r->columns.at(i) + QStringLiteral(" = ") + ValoreLeggibile(r->values.at(i));
    return l.join(QStringLiteral(", "));
}

}  // namespace

void PreparaSicurezzaFinestre(Sessione& sessione)
{
    ImpostazioniSicurezza& s = Sicurezza(sessione);
    s.avviso = [&sessione](const QString& testo) {
        sessione.operatore().Mostra(testo
                                    + QStringLiteral("\rLe modifiche si possono annullare dal registro delle "
                                                     "modifiche (Ctrl+R nella finestra di manutenzione)."));
    };
    // A dialog only on a big archive; it closes itself at the end.
    s.avanzamento = [d = std::shared_ptr<QProgressDialog>()](const QString& cosa, qint64 fatto, qint64 totale) mutable {
        if (totale < 200000 && !d)
            return;
        if (!d) {
            d = std::make_shared<QProgressDialog>(cosa, QString(), 0, 1000);
            d->setWindowModality(Qt::ApplicationModal);
            d->setMinimumDuration(0);
        }
        d->setLabelText(cosa);
        d->setValue(totale > 0 ? int(fatto * 1000 / totale) : 0);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (fatto >= totale)
            d.reset();
    };
}

FrmRegistro::FrmRegistro(Sessione& sessione, QWidget* parent) : QDialog(parent), s_(sessione)
{
    setObjectName(QStringLiteral("FrmRegistro"));
    setWindowTitle(QStringLiteral("Registro delle modifiche"));
    resize(900, 480);
    lst_ = new QTreeWidget(this);
    lst_->setObjectName(QStringLiteral("LstVoci"));
    lst_->setRootIsDecorated(false);
    lst_->header()->setStretchLastSection(false);
    lst_->setHeaderLabels({QStringLiteral("N."), QStringLiteral("Ora"), QStringLiteral("Utente"),
                           QStringLiteral("Modifica"), QStringLiteral("Controllo"), QStringLiteral("Tabella"),
                           QStringLiteral("Stato"), QStringLiteral("Record")});
    lst_->header()->setSectionResizeMode(kColonnaDescrizione, QHeaderView::Stretch);
    dett_ = new QPlainTextEdit(this);
    dett_->setObjectName(QStringLiteral("TxtDettaglio"));
    dett_->setReadOnly(true);
    annulla_ = new QPushButton(QStringLiteral("Annulla modifica"), this);
    annulla_->setObjectName(QStringLiteral("PulsAnnulla"));
    ripristina_ = new QPushButton(QStringLiteral("Ripristina copia"), this);
    ripristina_->setObjectName(QStringLiteral("PulsRipristina"));
    chiudi_ = new QPushButton(QStringLiteral("Chiudi"), this);
    chiudi_->setObjectName(QStringLiteral("PulsChiudi"));
    for (QPushButton* p : {annulla_, ripristina_, chiudi_})
        p->setAutoDefault(false);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(annulla_);
    pulsanti->addWidget(ripristina_);
    pulsanti->addStretch();
    pulsanti->addWidget(chiudi_);
    auto* l = new QVBoxLayout(this);
    l->addWidget(lst_, 3);
    l->addWidget(dett_, 2);
    l->addLayout(pulsanti);
    connect(lst_, &QTreeWidget::currentItemChanged, this, [this] { mostraDettaglio(); });
    connect(annulla_, &QPushButton::clicked, this, [this] { AnnullaModifica_Click(); });
    connect(ripristina_, &QPushButton::clicked, this, [this] { RipristinaCopia_Click(); });
    connect(chiudi_, &QPushButton::clicked, this, &QDialog::accept);
    CentraForm(this);
    Aggiorna();
}

void FrmRegistro::Aggiorna()
{
    // The entry the operator had selected stays selected (the newest one at first).
    const qint64 selezionata = Selezionata();
    lst_->clear();
    const auto reg = RegistroAperto(s_);
    if (reg) {
        RiconciliaInCorso(s_.DbArchivi, *reg);
        for (const VoceRegistro& v : reg->Elenco()) {
            auto* it = new QTreeWidgetItem(lst_, {QString::number(v.id), v.ora, v.utente, v.tipo, v.descrizione,
                                                  v.tabella, v.annullataDa ? QStringLiteral("annullata") : v.stato,
                                                  QString::number(v.recordFatti)});
            it->setData(0, Qt::UserRole, v.id);
            for (int c = 0; c < it->columnCount(); ++c)
                it->setToolTip(c, it->text(c));
        }
    }
    // Every column as wide as its texts, the description taking what is left (and its tooltip the
    // rest).
    for (int c = 0; c < lst_->columnCount(); ++c)
        if (c != kColonnaDescrizione)
            lst_->resizeColumnToContents(c);
    if (!selezionata || !Seleziona(selezionata)) {
        if (lst_->topLevelItemCount() > 0)
            lst_->setCurrentItem(lst_->topLevelItem(0));
    }
    mostraDettaglio();
}

bool FrmRegistro::Seleziona(qint64 id)
{
    for (int i = 0; i < lst_->topLevelItemCount(); ++i) {
        if (lst_->topLevelItem(i)->data(0, Qt::UserRole).toLongLong() == id) {
            lst_->setCurrentItem(lst_->topLevelItem(i));
            return true;
        }
    }
    return false;
}

qint64 FrmRegistro::Selezionata() const
{
    return lst_->currentItem() ? lst_->currentItem()->data(0, Qt::UserRole).toLongLong() : 0;
}

void FrmRegistro::mostraDettaglio()
{
    const auto reg = RegistroAperto(s_);
    const qint64 id = Selezionata();
    const auto v = reg && id ? reg->Voce(id) : std::nullopt;
    annulla_->setEnabled(v.has_value());
    ripristina_->setEnabled(v && !v->copia.isEmpty());
    if (!v) {
        dett_->setPlainText(reg ? QStringLiteral("Nessuna modifica registrata.")
                                : QStringLiteral("Nessun archivio aperto."));
        return;
    }
    QStringList righe{QStringLiteral("Modifica %1 (%2) del %3, utente %4: %5")
                          .arg(v->id)
                          .arg(v->tipo, v->ora, v->utente, v->descrizione)};
    if (!v->esito.isEmpty())
        righe << QStringLiteral("Esito: ") + v->esito;
    if (!v->messaggio.isEmpty())
        righe << v->messaggio;
    if (!v->copia.isEmpty())
        righe << QStringLiteral("Copia di sicurezza della sessione: ") + QDir::toNativeSeparators(v->copia);
    int mostrati = 0;
    for (const RecordRegistro& r : reg->Record(id)) {
        if (++mostrati > 200) {
            righe << QStringLiteral("...");
            break;
        }
        righe << QStringLiteral("%1. %2%3: prima %4; dopo %5")
                     .arg(r.n)
                     .arg(r.tabella, r.fatto ? QString() : QStringLiteral(" (non fatto)"), Campi(r.prima),
                          Campi(r.dopo));
    }
    dett_->setPlainText(righe.join(QLatin1Char('\n')));
}

namespace {

// The restore's question, naming every change it takes back.
QString DomandaRipristino(Registro& reg, const VoceRegistro& v)
{
    // The copy was taken before the first change of its session, not before the one selected:
    // every change from that one on is taken back, and each is named with its time.
    const auto elenco = reg.Elenco();
    qint64 prima = v.id;
    for (const VoceRegistro& altra : elenco)
        if (altra.copia == v.copia && altra.id < prima)
            prima = altra.id;
    QStringList tolte;
    for (const VoceRegistro& altra : elenco)
        if (altra.id >= prima && !altra.annullataDa && altra.tipo != tipo_modifica::Verifica)
            tolte.prepend(QStringLiteral("%1 (%2, %3)").arg(altra.id).arg(altra.ora, altra.tipo));
    return QStringLiteral("Ripristinare la copia di sicurezza %1 ? L'archivio torna com'era prima della modifica %2 "
                          "e di tutte quelle fatte dopo; il suo stato attuale viene prima salvato in una nuova "
                          "copia.\rModifiche tolte: %3.")
        .arg(QDir::toNativeSeparators(v.copia))
        .arg(prima)
        .arg(tolte.join(QStringLiteral(", ")));
}

}  // namespace

void FrmRegistro::AnnullaModifica_Click()
{
    const qint64 id = Selezionata();
    if (!id)
        return;
    // A change that cannot be undone is said so at once, before any question.
    if (const auto reg = RegistroAperto(s_)) {
        const QString perche = PerchéNonAnnullabile(*reg, id);
        if (!perche.isEmpty()) {
            // A change undone only through its copy: the copy is offered at once.
            const auto v = reg->Voce(id);
            if (v && !v->copia.isEmpty() && !v->annullataDa && v->tipo != tipo_modifica::Verifica
                && v->recordFatti > 0) {
                if (s_.operatore().Mostra(perche + QStringLiteral("\r\rRipristinare ora la copia?"), Pulsanti::SiNo)
                    == Risposta::Si)
                    RipristinaCopia_Click();
                return;
            }
            s_.operatore().Mostra(perche);
            return;
        }
    }
    if (s_.operatore().Mostra(QStringLiteral("Rimettere nell'archivio i record della modifica %1 ?").arg(id),
                              Pulsanti::SiNo)
        != Risposta::Si)
        return;
    if (!PrimaDellaModifica(s_))
        return;
    EsitoAnnulla e;
    {
        ClessidraAccesa clessidra(s_.operatore());
        e = AnnullaModifica(s_, id);
    }
    if (!e.eseguito) {
        s_.operatore().Mostra(e.errore);
    } else {
        QString testo = QStringLiteral("Modifica %1 annullata: %2 record rimessi.").arg(id).arg(e.rimessi);
        if (!e.rifiutati.isEmpty())
            testo += QStringLiteral("\r%1 record non rimessi:\r").arg(e.rifiutati.size())
                     + QStringList(e.rifiutati.mid(0, 10)).join(QLatin1Char('\r'));
        s_.operatore().Mostra(testo);
    }
    Aggiorna();
}

void FrmRegistro::RipristinaCopia_Click()
{
    const auto reg = RegistroAperto(s_);
    const auto v = reg ? reg->Voce(Selezionata()) : std::nullopt;
    if (!v || v->copia.isEmpty())
        return;
    if (s_.operatore().Mostra(DomandaRipristino(*reg, *v), Pulsanti::SiNo) != Risposta::Si)
        return;
    QString testo;
    const QString archivio = s_.DbArchivi.isNull() ? QString() : s_.DbArchivi.Name();
    // The copy replaces the file: never under another Corvale that has it open.
    const bool solo = archivio.isEmpty() || PresenzaArchivio::DaSolo(s_, archivio, [&] {
                          ClessidraAccesa clessidra(s_.operatore());
                          RipristinaCopia(s_, v->copia, testo);
                      });
    if (!solo)
        testo = RipristinoRifiutatoAltroCorvale();
    s_.operatore().Mostra(testo);
    Aggiorna();
}

}  // namespace corvale
