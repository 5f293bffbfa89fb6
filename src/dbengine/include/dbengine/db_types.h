#pragma once
// The engine's fixed numbers: field type codes, field, index and table attribute flags, record-set
// types and options. They are the codes the original engine used, so that the archive's structure
// and the coded structure problems carry the same numbers.
#include <QtGlobal>

namespace dbe {

// Field type codes (Field::Type, Property::Type).
enum DataType : short {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbDecimal = 20,
};

// True for the codes above.
bool isValidType(int type);

// Field attribute flags (Field::Attributes).
constexpr qint32 dbFixedField = 1;
constexpr qint32 dbVariableField = 2;
constexpr qint32 dbAutoIncrField = 16;
constexpr qint32 dbUpdatableField = 32;
constexpr qint32 dbSystemField = 8192;
constexpr qint32 dbHyperlinkField = 32768;
// Index field flag.
constexpr qint32 dbDescending = 1;

// Table attribute flags (TableDef::Attributes). dbSystemObject is the mask the catalogue tests.
constexpr qint32 dbSystemObject = qint32(0x80000002u);
constexpr qint32 dbHiddenObject = 1;

// Record-set types (OpenRecordset's type argument) and options.
constexpr int dbOpenDefault = -1;
constexpr int dbOpenTable = 1;
constexpr int dbOpenDynaset = 2;
constexpr int dbOpenSnapshot = 4;
constexpr int dbOpenForwardOnly = 8;
constexpr int dbInconsistent = 16;
constexpr int dbConsistent = 32;
constexpr int dbFailOnError = 128;

// Record-set edit modes (Recordset::EditMode).
constexpr int dbEditNone = 0;
constexpr int dbEditInProgress = 1;
constexpr int dbEditAdd = 2;

}  // namespace dbe
