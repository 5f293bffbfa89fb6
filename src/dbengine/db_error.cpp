#include "dbengine/db_error.h"

#include <QHash>

namespace dbe {

namespace {
const QHash<int, QString>& table()
{
    static const QHash<int, QString> t = {
        {err::ReservedError, QStringLiteral("Errore riservato (%1).")},
        {err::InvalidArgument, QStringLiteral("Argomento non valido.")},
        {err::TableExists, QStringLiteral("La tabella '%1' esiste già.")},
        {err::UpdateWithoutEdit, QStringLiteral("Update o CancelUpdate senza AddNew o Edit.")},
        {err::NoCurrentRecord, QStringLiteral("Nessun record corrente.")},
        {err::DuplicateKey,
         QStringLiteral("Impossibile apportare le modifiche richieste alla tabella. Valori duplicati "
                        "nell'indice, nella chiave primaria o nella relazione. Modificare i dati nel "
                        "campo o nei campi che contengono dati duplicati, rimuovere l'indice o "
                        "ridefinirlo in modo da consentire voci duplicate, quindi riprovare.")},
        {err::FileNotFound, QStringLiteral("Impossibile trovare il file '%1'.")},
        {err::ReadOnlyDatabase, QStringLiteral("Impossibile aggiornare. Il database o l'oggetto è di sola lettura.")},
        {err::TransactionNotBegun,
         QStringLiteral("Si è tentato di eseguire il commit o il rollback di una transazione senza "
                        "averla prima avviata.")},
        {err::NotValidPath, QStringLiteral("'%1' non è un percorso valido. Verificare che il nome del percorso sia "
                                           "stato digitato correttamente e di essere connessi al server su cui si "
                                           "trova il file.")},
        {err::CannotOpenFile, QStringLiteral("Impossibile aprire il database '%1'. Potrebbe non essere un database "
                                             "riconosciuto dall'applicazione oppure il file potrebbe essere "
                                             "danneggiato.")},
        {err::FileInUse, QStringLiteral("Il motore di database non è in grado di aprire il file '%1'. È già "
                                        "aperto in modo esclusivo da un altro utente oppure è necessaria "
                                        "l'autorizzazione per visualizzarne i dati.")},
        {err::TooFewParameters, QStringLiteral("Parametri insufficienti. Previsto %1.")},
        {err::SyntaxErrorInExpression,
         QStringLiteral("Errore di sintassi (operatore mancante) nell'espressione della query "
                        "'%1'.")},
        {err::InputTableNotFound,
         QStringLiteral("Il motore di database non trova la tabella o la query di input '%1'. "
                        "Verificare che esista e che il nome sia stato digitato correttamente.")},
        {err::AmbiguousField, QStringLiteral("Il campo '%1' specificato potrebbe fare riferimento a più di una tabella "
                                             "elencata nella clausola FROM dell'istruzione SQL.")},
        {err::NotUpdatableQuery, QStringLiteral("L'operazione deve utilizzare una query aggiornabile.")},
        {err::SameTableNameTwice, QStringLiteral("Impossibile unire più tabelle con lo stesso nome (%1).")},
        {err::InvalidSqlStatement,
         QStringLiteral("Istruzione SQL non valida. Prevista 'DELETE', 'INSERT', 'PROCEDURE', "
                        "'SELECT' o 'UPDATE'.")},
        {err::InsertUnknownField,
         QStringLiteral("L'istruzione INSERT INTO contiene il seguente nome di campo sconosciuto: "
                        "'%1'. Verificare che il nome sia stato digitato correttamente e ripetere "
                        "l'operazione.")},
        {err::SyntaxErrorInOrderBy, QStringLiteral("Errore di sintassi nella clausola ORDER BY.")},
        {err::SyntaxErrorInSelect,
         QStringLiteral("L'istruzione SELECT include una parola riservata o un nome di argomento "
                        "errato o mancante, oppure la punteggiatura non è corretta.")},
        {err::DiskFull, QStringLiteral("Spazio su disco insufficiente.")},
        {err::NetworkFolder, QStringLiteral("Il file '%1' si trova in una cartella di rete: il motore di database apre "
                                            "un archivio in scrittura solo da un disco di questo computer. Copiare "
                                            "l'archivio su un disco locale.")},
        {err::FileReplaced,
         QStringLiteral("Il file '%1' è stato eliminato, rinominato o sostituito da un altro programma "
                        "mentre era aperto: il motore di database non vi scrive più nulla. Chiudere "
                        "l'archivio e aprirlo di nuovo.")},
        {err::CharactersAfterEnd, QStringLiteral("Caratteri trovati dopo la fine dell'istruzione SQL.")},
        {err::FieldCannotBeUpdated, QStringLiteral("Impossibile aggiornare il campo.")},
        {err::ValueCountMismatch,
         QStringLiteral("Il numero dei valori della query e quello dei campi di destinazione non "
                        "corrispondono.")},
        {err::QueryTooComplex, QStringLiteral("Query troppo complessa.")},
        {err::AggregateInWhere,
         QStringLiteral("Impossibile inserire una funzione di aggregazione nella clausola WHERE (%1).")},
        {err::SubqueryMoreThanOneRecord, QStringLiteral("Questa sottoquery può restituire al massimo un record.")},
        {err::InvalidName, QStringLiteral("'%1' non è un nome valido. Verificare che non "
                                          "includa caratteri o punteggiatura non validi e che "
                                          "non sia troppo lungo.")},
        {err::SyntaxErrorInFrom, QStringLiteral("Errore di sintassi nella clausola FROM.")},
        {err::SyntaxErrorInInsert, QStringLiteral("Errore di sintassi nell'istruzione INSERT INTO.")},
        {err::SyntaxErrorInUpdate, QStringLiteral("Errore di sintassi nell'istruzione UPDATE.")},
        {err::FieldTooSmall, QStringLiteral("Il campo è troppo piccolo per accettare la quantità di dati che si è "
                                            "tentato di aggiungere. Provare a inserire o incollare una quantità minore "
                                            "di dati.")},
        {err::RecordDeleted, QStringLiteral("Il record è stato eliminato.")},
        {err::RecordChanged,
         QStringLiteral("Il record è stato modificato o sostituito da un altro programma dopo essere "
                        "stato letto: non è stato cambiato.")},
        {err::RowNumberShadowed,
         QStringLiteral("La tabella '%1' ha campi chiamati ROWID, _ROWID_ e OID: il motore di database "
                        "non può indicarne i record. Rinominare uno di questi campi.")},
        {err::FieldDefinedTwice, QStringLiteral("Impossibile definire più volte il campo '%1'.")},
        {err::TableLocked, QStringLiteral("Impossibile bloccare la tabella '%1'. È attualmente utilizzata da un "
                                          "altro utente o processo.")},
        {err::CouldNotUpdateLocked, QStringLiteral("Impossibile aggiornare. Attualmente bloccato.")},
        {err::InvalidOperation, QStringLiteral("Operazione non valida.")},
        {err::OperationNotSupported, QStringLiteral("Operazione non supportata per questo tipo di oggetto.")},
        {err::InvalidFieldType, QStringLiteral("Tipo di dati del campo non valido.")},
        {err::ItemNotFound, QStringLiteral("Elemento non trovato in questo insieme.")},
        {err::IndexExists, QStringLiteral("Indice già esistente.")},
        {err::SyntaxErrorInDdl, QStringLiteral("Errore di sintassi nell'istruzione CREATE TABLE, ALTER TABLE, CREATE "
                                               "INDEX, DROP INDEX o DROP TABLE.")},
        {err::NullInRequiredField,
         QStringLiteral("Il campo '%1' non può contenere un valore Null poiché la proprietà "
                        "Required di questo campo è impostata su True. Immettere un valore in "
                        "questo campo.")},
        {err::ZeroLengthNotAllowed, QStringLiteral("Il campo '%1' non può essere una stringa di lunghezza zero.")},
        {err::UnrecognizedFormat, QStringLiteral("Formato di database '%1' non riconosciuto.")},
        {err::ObjectExists, QStringLiteral("Impossibile aggiungere. Un oggetto con il nome '%1' è già presente "
                                           "nell'insieme.")},
        {err::TableNotFound, QStringLiteral("La tabella '%1' non esiste.")},
        {err::FieldExists, QStringLiteral("Il campo '%1' esiste già nella tabella '%2'.")},
        {err::ObjectInvalid, QStringLiteral("Oggetto non valido o non più impostato.")},
        {err::NullInPrimaryKey, QStringLiteral("L'indice o la chiave primaria non può contenere un valore Null.")},
        {err::DatabaseExists, QStringLiteral("Il database '%1' esiste già.")},
        {err::NoFieldDefined,
         QStringLiteral("Nessun campo definito. Impossibile aggiungere l'oggetto TableDef o Index.")},
        {err::FieldInIndex, QStringLiteral("Impossibile eliminare un campo che fa parte di uno o più indici.")},
        {err::PrimaryKeyExists, QStringLiteral("Chiave primaria già esistente.")},
        {err::NumericOverflow, QStringLiteral("Overflow del campo numerico.")},
        {err::TypeMismatch, QStringLiteral("Tipo di dati non corrispondente nell'espressione criterio.")},
        {err::InvalidProcedureCall, QStringLiteral("Chiamata di routine o argomento non validi.")},
        {err::Overflow, QStringLiteral("Overflow.")},
        {err::DivisionByZero, QStringLiteral("Divisione per zero.")},
        {err::InvalidUseOfNull, QStringLiteral("Utilizzo non valido di Null.")},
        {err::DuplicateOutputDestination, QStringLiteral("Destinazione di output '%1' duplicata.")},
        {err::UndefinedFunction, QStringLiteral("Funzione '%1' non definita nell'espressione.")},
        {err::NotPartOfAggregate,
         QStringLiteral("La query non include l'espressione '%1' specificata come parte di una "
                        "funzione di aggregazione.")},
        {err::DeleteTableNotSpecified, QStringLiteral("Specificare la tabella contenente i record da eliminare.")},
        {err::UnionColumnCount,
         QStringLiteral("Il numero di colonne nelle due tabelle o query selezionate di una query "
                        "di unione non corrisponde.")},
    };
    return t;
}
}  // namespace

QString errorDescription(int number)
{
    return table().value(number, QStringLiteral("Errore del motore di database %1.").arg(number));
}

DbError::DbError(int number, QString description)
    : number_(number), description_(std::move(description)),
      what_(QStringLiteral("%1: %2").arg(number).arg(description_).toStdString())
{
}

DbError DbError::make(int number, const QStringList& args)
{
    QString d = errorDescription(number);
    for (const QString& a : args)
        d = d.arg(a);
    return DbError(number, d);
}

}  // namespace dbe
