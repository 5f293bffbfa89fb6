#include "importazione.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace corvale::access {

namespace {

QString nativo(const QString& path) { return QDir::toNativeSeparators(path); }

void scrivi(dbe::Inserter& ins, int i, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType: ins.SetNull(i); break;
    case QMetaType::Bool: ins.SetInteger(i, v.toBool() ? -1 : 0); break;
    case QMetaType::LongLong: ins.SetInteger(i, v.toLongLong()); break;
    case QMetaType::Double: ins.SetReal(i, v.toDouble()); break;
    case QMetaType::QDateTime: ins.SetDateTime(i, v.toDateTime()); break;
    case QMetaType::QByteArray: ins.SetBytes(i, v.toByteArray()); break;
    default: ins.SetText(i, v.toString()); break;
    }
}

QStringList nomiCampi(const TabellaAccess& t)
{
    QStringList nomi;
    for (const CampoAccess& c : t.campi)
        nomi << c.nome;
    return nomi;
}

// The temporary archive beside the destination and its SQLite companions, removed unless kept.
class FileTemporaneo {
public:
    explicit FileTemporaneo(const QString& destinazione)
    {
        const QFileInfo fi(destinazione);
        path_ = fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".importazione-")
                + QUuid::createUuid().toString(QUuid::Id128).left(12);
    }
    ~FileTemporaneo()
    {
        if (tenuto_)
            return;
        for (const char* suffisso : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path_ + QLatin1String(suffisso));
    }
    FileTemporaneo(const FileTemporaneo&) = delete;
    FileTemporaneo& operator=(const FileTemporaneo&) = delete;
    const QString& path() const { return path_; }
    void tieni() { tenuto_ = true; }

private:
    QString path_;
    bool tenuto_ = false;
};

void copiaTabella(const FileAccess& file, const dbe::Database& db, const TabellaAccess& t,
                  const AvanzamentoImport& avanzamento)
{
    qint64 n = 0;
    try {
        CreaTabella(db, t);
        dbe::Inserter ins(db, t.nome, nomiCampi(t));
        n = CopiaRecord(file, t, ins);
        ins.Commit();
        CreaIndici(db, t);
    } catch (const dbe::DbError& e) {
        throw ErroreAccess(QStringLiteral("Importazione interrotta alla tabella '%1' (%2 record copiati): "
                                          "errore %3, %4")
                               .arg(t.nome).arg(n).arg(e.number()).arg(e.description()));
    }
    if (avanzamento)
        avanzamento(t, n);
}

}  // namespace

void CreaTabella(const dbe::Database& db, const TabellaAccess& t)
{
    dbe::TableDef td = db.CreateTableDef(t.nome);
    for (const CampoAccess& c : t.campi) {
        dbe::Field f = td.CreateField(c.nome, c.tipo, c.dimensione);
        if (c.attributi)
            f.SetAttributes(c.attributi);
        f.SetRequired(c.richiesto);
        f.SetAllowZeroLength(c.lunghezzaZero);
        td.Fields().Append(f);
    }
    for (const ProprietaAccess& p : t.proprieta)
        td.Properties().Append(td.CreateProperty(p.nome, p.tipo, p.valore));
    db.TableDefs().Append(td);
}

void CreaIndici(const dbe::Database& db, const TabellaAccess& t)
{
    dbe::TableDef td = db.TableDefs().Item(t.nome);
    for (const IndiceAccess& ia : t.indici) {
        dbe::Index ix = td.CreateIndex(ia.nome);
        ix.SetPrimary(ia.primario);
        ix.SetUnique(ia.univoco);
        ix.SetIgnoreNulls(ia.ignoraNull);
        ix.SetRequired(ia.richiesto);
        for (const CampoIndice& c : ia.campi)
            ix.Fields().Append(ix.CreateField(c.nome));
        td.Indexes().Append(ix);
    }
}

qint64 CopiaRecord(const FileAccess& file, const TabellaAccess& t, dbe::Inserter& ins)
{
    const std::unique_ptr<FileAccess::Lettura> l = file.Leggi(t.nome);
    const int campi = int(t.campi.size());
    qint64 n = 0;
    while (l->Prossimo()) {
        for (int i = 0; i < campi; ++i)
            scrivi(ins, i, l->Valore(i));
        ins.Insert();
        ++n;
    }
    if (n != l->Attesi())
        throw ErroreAccess(QStringLiteral("Il file '%1' è danneggiato: la tabella '%2' dichiara %3 record, "
                                          "se ne leggono %4.")
                               .arg(QDir::toNativeSeparators(file.Percorso()), t.nome)
                               .arg(l->Attesi()).arg(n));
    return n;
}

void ImportaAccess(const QString& sorgente, const QString& destinazione, const AvanzamentoImport& avanzamento)
{
    const QFileInfo dest(destinazione);
    if (dest.exists() || dest.isSymLink())
        throw ErroreAccess(QStringLiteral("Il file di destinazione '%1' esiste già: l'importazione non lo "
                                          "sovrascrive.").arg(nativo(destinazione)));
    if (!dest.absoluteDir().exists())
        throw ErroreAccess(QStringLiteral("La cartella di destinazione '%1' non esiste.")
                               .arg(nativo(dest.absolutePath())));
    const FileAccess file(sorgente);
    FileTemporaneo tmp(destinazione);
    {
        dbe::Database db;
        try {
            db = dbe::CreateDatabase(tmp.path());
            dbe::PrepareForBulkLoad(db);
        } catch (const dbe::DbError& e) {
            throw ErroreAccess(QStringLiteral("Impossibile creare l'archivio nella cartella '%1': %2")
                                   .arg(nativo(dest.absolutePath()), e.description()));
        }
        struct Chiusura {
            dbe::Database& db;
            ~Chiusura() { db.Close(); }
        } chiusura{db};
        for (const TabellaAccess& t : file.Tabelle())
            copiaTabella(file, db, t, avanzamento);
    }
    if (QFileInfo::exists(destinazione) || !QFile::rename(tmp.path(), destinazione))
        throw ErroreAccess(QStringLiteral("Impossibile scrivere il file di destinazione '%1'.")
                               .arg(nativo(destinazione)));
    tmp.tieni();
}

}  // namespace corvale::access
