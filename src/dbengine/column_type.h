#pragma once
// How a field's type and size are written in a column's declared type, and read back from any
// declared type (the engine's own, or one a third party wrote by hand). Also the fixed sizes and
// default attribute flags of each type.
#include <QString>

namespace dbe::detail {

struct ColumnType {
    short type = 0;
    qint32 size = 0;
    bool autoIncrement = false;  // declared COUNTER / AUTOINCREMENT by hand
};

// The declared type of a column written by the engine, with COLLATE NOCASE for text and memo:
// "TEXT(50) COLLATE NOCASE", "LONG", "DATETIME" ...
QString declaredType(short type, qint32 size);
// The field type and size that a declared type stands for.
ColumnType parseDeclaredType(const QString& declared);
// The size the engine reports for a type (text and binary: their own size).
qint32 fixedSize(short type);
// Attribute flags of a field with no metadata row: variable (2) for text, memo and binary types,
// fixed (1) for the others, fixed + auto-increment (17) for a counter.
qint32 defaultAttributes(short type, bool autoIncrement);
// Text and memo: the types compared without regard to case.
inline bool isTextType(short type) { return type == 10 || type == 12; }

}  // namespace dbe::detail
