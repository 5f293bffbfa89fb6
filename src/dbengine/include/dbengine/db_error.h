#pragma once
// DbError: every failure of the engine, carried as the original engine carried it: an error
// number and an Italian description. Callers show description() to the operator and test
// number() where the program's behaviour depends on it (3167, 3265, ...).
#include <QString>
#include <QStringList>
#include <exception>
#include <string>

namespace dbe {

// The error numbers the engine raises. Descriptions live in one table (db_error.cpp); make() fills
// the placeholders %1, %2 ... of a description with the arguments given.
namespace err {
constexpr int ReservedError = 3000;  // generic failure, the SQLite message appended
constexpr int NoCurrentRecord = 3021;
constexpr int UpdateWithoutEdit = 3020;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFound = 3024;  // %1 file name
constexpr int DiskFull = 3026;
constexpr int ReadOnlyDatabase = 3027;
constexpr int NetworkFolder = 3043;  // %1 file name (on a network file system)
constexpr int FileReplaced = 3045;  // %1 file name (deleted, renamed or replaced while open)
constexpr int TransactionNotBegun = 3034;
constexpr int NotValidPath = 3044;  // %1 path
constexpr int CannotOpenFile = 3049;  // %1 file name (damaged, not a database)
constexpr int FileInUse = 3051;  // %1 file name (locked, no permission)
constexpr int TooFewParameters = 3061;  // %1 count (an unknown name in a query)
constexpr int SyntaxErrorInExpression = 3075;  // %1 expression
constexpr int InputTableNotFound = 3078;  // %1 table name
constexpr int AmbiguousField = 3079;  // %1 field name (in more than one joined table)
constexpr int NotUpdatableQuery = 3073;  // a statement that writes through a query read as a table
constexpr int SameTableNameTwice = 3081;  // %1 the name two tables of one FROM clause share
constexpr int InvalidSqlStatement = 3129;  // not a statement the dialect knows
constexpr int InsertUnknownField = 3127;  // %1 field name
constexpr int SyntaxErrorInOrderBy = 3138;
constexpr int SyntaxErrorInSelect = 3141;  // the select list
constexpr int CharactersAfterEnd = 3142;
constexpr int FieldCannotBeUpdated = 3164;  // e.g. an auto-increment field
constexpr int ValueCountMismatch = 3346;  // INSERT values and fields differ in number
constexpr int QueryTooComplex = 3360;  // nesting deeper than SQLite's parser takes
constexpr int SubqueryMoreThanOneRecord = 3354;  // a subquery used as a value gave two records
constexpr int AggregateInWhere = 3096;  // %1 the aggregate written in a WHERE clause
constexpr int SyntaxErrorInFrom = 3131;
constexpr int SyntaxErrorInInsert = 3134;
constexpr int SyntaxErrorInUpdate = 3144;  // also other statements
constexpr int FieldTooSmall = 3163;
constexpr int RecordDeleted = 3167;
constexpr int RecordChanged = 3197;  // the record is no longer what the set read
constexpr int RowNumberShadowed = 3998;  // %1 table name (fields named ROWID, _ROWID_ and OID)
constexpr int TableExists = 3010;  // %1 table name
constexpr int FieldDefinedTwice = 3191;  // %1 field name
constexpr int TableLocked = 3211;  // %1 table name (busy)
constexpr int CouldNotUpdateLocked = 3218;  // busy database
constexpr int InvalidOperation = 3219;
constexpr int OperationNotSupported = 3251;
constexpr int InvalidFieldType = 3259;
constexpr int ItemNotFound = 3265;
constexpr int IndexExists = 3284;
constexpr int SyntaxErrorInDdl = 3290;
constexpr int NullInRequiredField = 3314;  // %1 field name
constexpr int ZeroLengthNotAllowed = 3315;  // %1 field name
constexpr int UnrecognizedFormat = 3343;  // %1 file name
constexpr int ObjectExists = 3367;  // %1 name (append of an existing name)
constexpr int TableNotFound = 3376;  // %1 table name (DDL on a missing table)
constexpr int FieldExists = 3380;  // %1 field name, %2 table name
constexpr int ObjectInvalid = 3420;  // closed database or record set
constexpr int TypeMismatch = 3464;
constexpr int InvalidArgument = 3001;
constexpr int InvalidName = 3125;  // %1 name
constexpr int FieldNotFoundInTable = 3265;
constexpr int NullInPrimaryKey = 3058;
constexpr int DatabaseExists = 3204;  // %1 file name
constexpr int NoFieldDefined = 3264;  // a table or index without fields
constexpr int FieldInIndex = 3280;  // dropping an indexed field
constexpr int PrimaryKeyExists = 3283;
constexpr int NumericOverflow = 3349;
// Errors of the query language's expressions and of the statements' shape.
constexpr int InvalidProcedureCall = 5;  // a function's argument out of its range
constexpr int Overflow = 6;  // 0 / 0, a conversion out of range
constexpr int DivisionByZero = 11;
constexpr int InvalidUseOfNull = 94;  // Null given to a conversion that needs a value
constexpr int DuplicateOutputDestination = 3063;  // %1 field set twice
constexpr int UndefinedFunction = 3085;  // %1 function name
constexpr int NotPartOfAggregate = 3122;  // %1 the ungrouped expression
constexpr int DeleteTableNotSpecified = 3128;  // DELETE X.* with X not in the statement
constexpr int UnionColumnCount = 3307;
}  // namespace err

class DbError : public std::exception {
public:
    DbError(int number, QString description);

    // An error of the table, its description's placeholders filled with args.
    static DbError make(int number, const QStringList& args = {});

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

// The Italian description of an error number, placeholders not filled.
QString errorDescription(int number);

}  // namespace dbe
