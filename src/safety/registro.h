#pragma once
// Registro: the journal of every change Corvale makes to an archive, kept in an SQLite file of its
// own beside the archive ("lumera-registro.db" for "lumera.mdb"), never inside the archive, which
// other programs read. One entry per change (a record correction, one structure correction row, a
// stamp, an undo, a restore, a repair) with the time, the operating-system user, the task's key and
// description, the kind and the table; a record change keeps, for every record it touched, the
// whole record before (typed, as stored) and the fields after, in a compact form (each value's
// kind and bytes, the field names kept once in a list of their own) that reads back exactly. The journal also lists the
// safety copies Corvale made, so that only those are ever deleted.
//
// Write-ahead rule: an entry is written as "in corso" before the archive changes; the records of a
// change are written in the journal's own transaction, which is committed (and synced) before the
// archive's transaction that changes them commits (ModificaRegistrata installs the archive's
// commit hook for that); the entry is marked "fatta" after. A crash therefore leaves no change in
// the archive without its record in the journal, only records journaled for changes that never
// reached the archive: the next session finds the entry still "in corso" and settles it against the
// archive (Riconcilia, in modifica_registrata.h).
#include "dbengine/stored_rows.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace corvale {

namespace tipo_modifica {
inline const QString Elimina = QStringLiteral("eliminazione");
inline const QString Riassegna = QStringLiteral("riassegnazione");
inline const QString Fisso = QStringLiteral("codice fisso");
inline const QString ModificaRecord = QStringLiteral("modifica record");  // an edit typed in the grid
inline const QString Struttura = QStringLiteral("correzione di struttura");
inline const QString Versione = QStringLiteral("versione");
inline const QString Annulla = QStringLiteral("annullamento");
inline const QString Ripristino = QStringLiteral("ripristino");
inline const QString Riparazione = QStringLiteral("riparazione");
// Not a change: what the integrity check before the first change found (done: sound again after a
// damage; not done: damaged).
inline const QString Verifica = QStringLiteral("verifica di integrità");
}  // namespace tipo_modifica

namespace stato_modifica {
inline const QString InCorso = QStringLiteral("in corso");
inline const QString Fatta = QStringLiteral("fatta");
inline const QString Interrotta = QStringLiteral("interrotta");
inline const QString NonRiuscita = QStringLiteral("non riuscita");
}  // namespace stato_modifica

struct VoceRegistro {
    qint64 id = 0;
    QString ora;  // local time, yyyy-MM-dd HH:mm:ss
    QString utente;
    QString chiave;  // the task's key ("0008K"), empty for a change of no task
    QString descrizione;
    QString tipo;  // tipo_modifica
    QString tabella;
    QString stato;  // stato_modifica
    QString esito;  // a structure row's "Stato" text, an undo's summary
    QString messaggio;  // the engine's message, or the records refused by an undo
    QString copia;  // the session's safety copy
    qint64 annulla = 0;  // for an undo: the entry undone
    qint64 annullataDa = 0;  // the undo entry that undid this one
    qint64 record = 0;  // records journaled
    qint64 recordFatti = 0;  // of those, changed in the archive
};

struct RecordRegistro {
    qint64 n = 0;
    QString tabella;
    qint64 riga = 0;  // the record's rowid in the archive
    std::optional<dbe::StoredRow> prima;  // absent for a record that did not exist
    std::optional<dbe::StoredRow> dopo;  // the fields written; absent for a deleted record
    bool fatto = true;  // false: journaled, but the archive was not changed
};

class Registro {
public:
    // The journal file of an archive file: same folder, the archive's base name + "-registro.db".
    static QString FilePer(const QString& archivio);
    // Opens (creating it if missing) the journal of an archive; Aperto() false with Errore() when
    // the file cannot be opened or written.
    explicit Registro(const QString& archivio);
    ~Registro();
    Registro(const Registro&) = delete;
    Registro& operator=(const Registro&) = delete;

    bool Aperto() const { return db_ != nullptr; }
    // True when the journal was opened without room for the index its readers share (a full
    // disk): it is read and written as usual, but no other program can open it until this object
    // is destroyed.
    bool Privato() const { return privato_; }
    QString Errore() const { return errore_; }
    // True when the last failure to write the journal was for lack of room (a full disk or quota,
    // or a file grown past the largest the system allows).
    bool Pieno() const { return pieno_; }
    // After a failure for lack of room: moves what the journal's log holds into its file, so that
    // the next writes reuse the log's room instead of growing it.
    void FaiSpazio();
    QString File() const { return file_; }
    // The journal file's page size (4096 when it cannot be read).
    qint64 Pagina();
    QString Archivio() const { return archivio_; }

    // A new entry, "in corso", committed at once; its id. Time and user are filled here. 0 on failure.
    qint64 Inizia(VoceRegistro v);
    // One record of entry `voce`, in the pending journal transaction (Scrivi commits it).
    bool AggiungiRecord(qint64 voce, const RecordRegistro& r);
    // Commits the pending records, synced; false when the journal cannot be written.
    bool Scrivi();
    // Ends an entry: its state, outcome and message (pending records are committed first).
    bool Concludi(qint64 voce, const QString& stato, const QString& esito = QString(),
                  const QString& messaggio = QString());
    bool SegnaRecord(qint64 voce, qint64 n, bool fatto);
    bool SegnaAnnullata(qint64 voce, qint64 da);

    // Newest first.
    QVector<VoceRegistro> Elenco();
    std::optional<VoceRegistro> Voce(qint64 id);
    // The newest entry of one of these kinds.
    std::optional<VoceRegistro> Ultima(const QStringList& tipi);
    QVector<RecordRegistro> Record(qint64 voce);
    // Entries left "in corso" by a session that ended before marking them.
    QVector<qint64> InCorso();

    // The safety copies Corvale made of this archive, oldest first.
    void AggiungiCopia(const QString& file, qint64 byte);
    QStringList Copie();
    void TogliCopia(const QString& file);
    // The stamp of the archive's content (ImprontaContenuto) when it was the content of copy `file`.
    void SegnaImpronta(const QString& file, const QString& impronta);
    // The newest listed copy, still on disk, whose content the archive had under that stamp; empty
    // when none.
    QString CopiaConImpronta(const QString& impronta);

private:
    bool apri(bool esclusivo);
    bool esegui(const char* sql);
    void fallito(int rc);
    // Runs one write; when it fails for lack of room, makes room inside the journal and runs it again.
    bool conSpazio(const std::function<bool()>& scrittura);
    bool apriTransazione();
    // The compact form of a record: the id of its names' list (added when new), then its values.
    bool compatta(const dbe::StoredRow& riga, QByteArray& dati);
    // A record's column of the journal, in either form (the compact one, or the text of older
    // journals); nomi keeps the lists of names already read.
    std::optional<dbe::StoredRow> leggiRiga(sqlite3_stmt* q, int colonna, QHash<qint64, QStringList>& nomi);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insRecord_ = nullptr;
    QString archivio_;
    QString file_;
    QString errore_;
    bool transazione_ = false;
    qint64 transazioni_ = 0;  // transactions begun
    QStringList nomi_;  // the last names' list written, its id, and the transaction that checked it
    qint64 idNomi_ = 0;
    qint64 transazioneNomi_ = -1;
    bool pieno_ = false;
    bool privato_ = false;
};

}  // namespace corvale
