#include "modello_record.h"

#include "records/modifica_cella.h"
#include "records/testo_valore.h"
#include "records/vista_correzione.h"

#include "core/sessione.h"

#include <QApplication>
#include <QPalette>

namespace corvale {

namespace {
constexpr int kMaxCache = 512;
const QString kEliminato = QStringLiteral("#Eliminato");
}  // namespace

ModelloRecord::ModelloRecord(Sessione& sessione, QObject* parent) : QAbstractTableModel(parent), sessione_(sessione) {}

void ModelloRecord::ImpostaTask(const QString& chiave, const QString& descrizione)
{
    chiave_ = chiave;
    descrizione_ = descrizione;
}

void ModelloRecord::Imposta(const dbe::Recordset& rs, const SelezioneRecord* selezione)
{
    beginResetModel();
    rs_ = rs;
    selezione_ = selezione;
    cache_.clear();
    righeLette_ = 0;
    rigaModifica_ = -1;
    modifiche_.clear();
    nomi_.clear();
    tipi_.clear();
    righe_ = 0;
    modificabili_.clear();
    if (!rs_.isNull()) {
        try {
            const int n = rs_.FieldCount();
            for (int c = 0; c < n; ++c) {
                nomi_ << rs_.FieldName(c);
                tipi_ << rs_.FieldType(c);
            }
            modificabili_ = CampiModificabili(sessione_, rs_);
            righe_ = int(qMin<qint64>(rs_.ListedCount(), std::numeric_limits<int>::max()));
        } catch (const dbe::DbError&) {
            // A closed or broken record set shows as an empty grid.
        }
    }
    endResetModel();
}

bool ModelloRecord::canFetchMore(const QModelIndex& parent) const
{
    if (parent.isValid() || rs_.isNull() || righe_ == std::numeric_limits<int>::max())
        return false;
    try {
        return !rs_.AllListed() || rs_.ListedCount() > righe_;
    } catch (const dbe::DbError&) {
        // Qt's model calls may not throw: a set that cannot be read has no more rows.
        return false;
    }
}

void ModelloRecord::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    qint64 listate = 0;
    try {
        dbe::Recordset rs = rs_;
        // What the set already listed (a "Seleziona Tutti" lists everything) comes first; otherwise a
        // part as large as the rows shown, so that a scroll to the end takes a few parts.
        if (rs.ListedCount() <= righe_ && !rs.AllListed())
            rs.ListMore(qMax(kMaxCache, righe_));
        listate = rs.ListedCount();
    } catch (const dbe::DbError&) {
        // Qt's model calls may not throw: a set that cannot be read shows what it has.
        return;
    }
    const int nuove = int(qMin<qint64>(listate, std::numeric_limits<int>::max()));
    if (nuove <= righe_)
        return;
    beginInsertRows(QModelIndex(), righe_, nuove - 1);
    righe_ = nuove;
    endInsertRows();
}

const ModelloRecord::Riga& ModelloRecord::riga(int r) const
{
    auto it = cache_.constFind(r);
    if (it != cache_.constEnd())
        return *it;
    if (cache_.size() >= kMaxCache)
        cache_.clear();
    Riga riga;
    riga.valori.resize(nomi_.size());
    try {
        dbe::Recordset rs = rs_;  // a handle on the same record set
        rs.SetAbsolutePosition(r);
        riga.segnalibro = rs.GetBookmark();
        riga.valida = true;
        ++righeLette_;
        for (int c = 0; c < nomi_.size(); ++c)
            riga.valori[c] = rs.Value(c);
    } catch (const dbe::DbError& e) {
        if (e.number() == dbe::err::RecordDeleted)
            riga.eliminata = true;
    }
    return *cache_.insert(r, riga);
}

bool ModelloRecord::Segnalibro(int r, dbe::Bookmark* bm) const
{
    if (r < 0 || r >= righe_)
        return false;
    const Riga& x = riga(r);
    if (!x.valida)
        return false;
    *bm = x.segnalibro;
    return true;
}

bool ModelloRecord::selezionata(int r) const
{
    if (!selezione_ || selezione_->Count() == 0)
        return false;
    const Riga& x = riga(r);
    return x.valida && selezione_->Contains(x.segnalibro);
}

int ModelloRecord::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : righe_; }

int ModelloRecord::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(nomi_.size()); }

QVariant ModelloRecord::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= righe_ || index.column() >= nomi_.size())
        return QVariant();
    const int r = index.row();
    const int c = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole: {  // the whole value, however narrow the column
        if (r == rigaModifica_ && modifiche_.contains(c))
            return TestoValore(modifiche_.value(c));
        const Riga& x = riga(r);
        if (x.eliminata)
            return kEliminato;
        return TestoValore(x.valori.value(c));
    }
    case Qt::BackgroundRole:
        if (selezionata(r))
            return QApplication::palette().brush(QPalette::Highlight);
        return QVariant();
    case Qt::ForegroundRole:
        if (selezionata(r))
            return QApplication::palette().brush(QPalette::HighlightedText);
        return QVariant();
    default: return QVariant();
    }
}

QVariant ModelloRecord::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if ((role == Qt::DisplayRole || role == Qt::ToolTipRole) && section >= 0 && section < nomi_.size())
            return nomi_.at(section);
        return QVariant();
    }
    // The record selector: a pencil on the row being edited, a mark on the selected rows.
    if (section < 0 || section >= righe_)
        return QVariant();
    if (role == Qt::DisplayRole) {
        if (section == rigaModifica_)
            return QStringLiteral("✎");
        return selezionata(section) ? QStringLiteral("►") : QString();
    }
    return QVariant();
}

Qt::ItemFlags ModelloRecord::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (modificabili_.value(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ModelloRecord::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !modificabili_.value(index.column()))
        return false;
    const int r = index.row();
    const int c = index.column();
    if (value.toString() == data(index, Qt::EditRole).toString())
        return true;  // nothing changed
    // One row's edit at a time: the grid settles a pending edit before another row is edited.
    if (rigaModifica_ >= 0 && rigaModifica_ != r)
        return false;
    bool ok = false;
    const QVariant nuovo = ValoreDaTesto(value.toString(), tipi_.value(c), &ok);
    if (!ok) {
        sessione_.operatore().Mostra(QStringLiteral("Valore non valido per il campo %1.").arg(nomi_.at(c)));
        return false;
    }
    if (rigaModifica_ < 0) {
        dbe::Bookmark bm = 0;
        if (!Segnalibro(r, &bm) || riga(r).eliminata)
            return false;
        rigaModifica_ = r;
        segnalibroModifica_ = bm;
    }
    modifiche_.insert(c, nuovo);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit headerDataChanged(Qt::Vertical, r, r);
    return true;
}

bool ModelloRecord::ScriviModifiche()
{
    if (rigaModifica_ < 0)
        return true;
    const int r = rigaModifica_;
    const QMap<int, QVariant> modifiche = modifiche_;
    rigaModifica_ = -1;
    modifiche_.clear();
    const EsitoModificaRecord e =
        ScriviModificaRecord(sessione_, rs_, segnalibroModifica_, modifiche, chiave_, descrizione_);
    rinfrescaRiga(r);
    if (!e.messaggio.isEmpty())
        sessione_.operatore().Mostra(e.messaggio);
    return e.scritta;
}

void ModelloRecord::ScartaModifiche()
{
    if (rigaModifica_ < 0)
        return;
    const int r = rigaModifica_;
    rigaModifica_ = -1;
    modifiche_.clear();
    rinfrescaRiga(r);
}

void ModelloRecord::rinfrescaRiga(int r)
{
    cache_.remove(r);
    if (r < righe_) {
        emit dataChanged(index(r, 0), index(r, qMax(0, int(nomi_.size()) - 1)));
        emit headerDataChanged(Qt::Vertical, r, r);
    }
}

void ModelloRecord::AggiornaSelezione()
{
    if (righe_ == 0 || nomi_.isEmpty())
        return;
    emit dataChanged(index(0, 0), index(righe_ - 1, int(nomi_.size()) - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
    emit headerDataChanged(Qt::Vertical, 0, righe_ - 1);
}

}  // namespace corvale
