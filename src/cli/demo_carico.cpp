#include "demo_carico.h"

#include "ambiente_cli.h"
#include "demo_cartella.h"
#include "demo_struttura.h"

#include "dbengine/inserter.h"

#include <QElapsedTimer>
#include <vector>

namespace corvale::cli::demo {

namespace {

// The generator's fields mapped onto the inserter's: -1 for a field the table lacks.
class RigaInserita : public RigaDemo {
public:
    RigaInserita(const dbe::Database& db, const QString& tabella, const QStringList& campi, QTextStream* progresso,
                 qint64 stima)
        : ins_(db, tabella, presenti(db, tabella, campi)), tabella_(tabella), progresso_(progresso), stima_(stima)
    {
        const dbe::FieldCollection f = db.TableDefs().Item(tabella).Fields();
        int k = 0;
        for (const QString& c : campi)
            mappa_.push_back(f.Contains(c) ? k++ : -1);
        orologio_.start();
    }

    void Testo(int campo, const QString& valore) override
    {
        if (const int i = mappa_[size_t(campo)]; i >= 0)
            ins_.SetText(i, valore);
    }
    void Intero(int campo, qint64 valore) override
    {
        if (const int i = mappa_[size_t(campo)]; i >= 0)
            ins_.SetInteger(i, valore);
    }
    void Reale(int campo, double valore) override
    {
        if (const int i = mappa_[size_t(campo)]; i >= 0)
            ins_.SetReal(i, valore);
    }
    void Data(int campo, const QDate& valore) override
    {
        if (const int i = mappa_[size_t(campo)]; i >= 0)
            ins_.SetDate(i, valore);
    }
    void Scrivi() override
    {
        ins_.Insert();
        if (progresso_ && (ins_.Count() & 0x3FFFF) == 0 && Progresso::SulTerminale()) {
            *progresso_ << "\r  " << tabella_ << ": " << ins_.Count() << " record su circa " << stima_ << "  "
                        << Qt::flush;
        }
    }

    qint64 Fine()
    {
        ins_.Commit();
        if (progresso_) {
            *progresso_ << (Progresso::SulTerminale() ? "\r  " : "  ") << tabella_ << ": " << ins_.Count()
                        << " record (" << QString::number(orologio_.elapsed() / 1000.0, 'f', 1) << " s)          \n"
                        << Qt::flush;
        }
        return ins_.Count();
    }

private:
    static QStringList presenti(const dbe::Database& db, const QString& tabella, const QStringList& campi)
    {
        const dbe::FieldCollection f = db.TableDefs().Item(tabella).Fields();
        QStringList out;
        for (const QString& c : campi)
            if (f.Contains(c))
                out << c;
        return out;
    }

    dbe::Inserter ins_;
    QString tabella_;
    QTextStream* progresso_;
    qint64 stima_;
    std::vector<int> mappa_;
    QElapsedTimer orologio_;
};

}  // namespace

qint64 CaricaTabella(const dbe::Database& db, const QString& tabella, const DatiDemo& dati, bool master,
                     QTextStream* progresso)
{
    RigaInserita riga(db, tabella, DatiDemo::Campi(tabella), master ? nullptr : progresso, dati.Stima(tabella));
    if (master)
        dati.GeneraMaster(tabella, riga);
    else
        dati.Genera(tabella, riga);
    return riga.Fine();
}

CaricoSeparato::CaricoSeparato(const dbe::Database& master, const QString& fileMaster, const QString& file,
                               const QString& tabella, const DatiDemo& dati)
    : file_(file), tabella_(tabella), dati_(dati)
{
    // Every connection is opened here, on the caller's thread; from the start of the thread to
    // its end only the thread uses them.
    righe_ = dbe::CreateDatabase(file_);
    dbe::PrepareForBulkLoad(righe_);
    CreaTabellaArchivio(master, righe_, tabella_);
    master_ = dbe::OpenDatabase(fileMaster, true);
    orologio_.start();
    lavoro_ = std::thread([this] {
        try {
            record_ = CaricaTabella(righe_, tabella_, dati_, false, nullptr);
            msCarico_ = orologio_.elapsed();
            CompletaTabellaArchivio(master_, righe_, tabella_);
            msIndici_ = orologio_.elapsed() - msCarico_;
        } catch (...) {
            errore_ = std::current_exception();
        }
    });
}

CaricoSeparato::~CaricoSeparato()
{
    attendi();
    dbe::DiscardScratchFile(righe_);
    righe_ = dbe::Database();
    RimuoviDatabase(file_);
}

void CaricoSeparato::attendi()
{
    if (lavoro_.joinable())
        lavoro_.join();
    try {
        if (!master_.isNull())
            master_.Close();
    } catch (const dbe::DbError&) {
        // Only read: nothing to lose.
    }
    master_ = dbe::Database();
}

qint64 CaricoSeparato::Unisci(const dbe::Database& archivio, QTextStream* progresso)
{
    attendi();
    if (errore_)
        std::rethrow_exception(errore_);
    QElapsedTimer copia;
    copia.start();
    const qint64 spostati = dbe::AppendTableFromFile(archivio, tabella_, file_);
    if (spostati != record_)
        throw dbe::DbError(0,
                           QStringLiteral("la tabella %1 non è stata copiata per intero nell'archivio.").arg(tabella_));
    if (progresso) {
        *progresso << "  " << tabella_ << ": " << record_ << " record (" << QString::number(msCarico_ / 1000.0, 'f', 1)
                   << " s, indici " << QString::number(msIndici_ / 1000.0, 'f', 1) << " s, in parallelo; copia "
                   << QString::number(copia.elapsed() / 1000.0, 'f', 1) << " s)\n"
                   << Qt::flush;
    }
    return spostati;
}

}  // namespace corvale::cli::demo
