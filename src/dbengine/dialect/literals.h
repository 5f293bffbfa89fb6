#pragma once
// Literal conversions of the dialect: #date# literals to the storage text dates are kept as, and
// the type names of data definition to the engine's type codes. Both are pure functions.
#include <QString>
#include <QtGlobal>

namespace dbe::dialect {

// The storage text "yyyy-MM-dd HH:mm:ss" of the text between the hashes of a date literal:
// m/d/yyyy (month first, one or two digits; two-digit years 00-29 are 20xx, 30-99 19xx),
// yyyy-mm-dd or yyyy/mm/dd, each optionally followed by a time h:nn[:ss] [AM|PM]; a time alone is
// a time of 30 December 1899. Returns an empty string when the text is no valid date.
QString dateLiteralToStorage(const QString& text);

struct TypeName {
    short type = 0;
    qint32 size = 0;  // the size the type gives when none is written (text and binary 255)
    bool autoIncrement = false;
    bool sized = false;  // takes a size in parentheses: TEXT(n), BINARY(n)
};

// The type of a type name (TEXT, LONG, COUNTER, ...), without regard to case; false when the name
// is no type of the dialect.
bool lookupTypeName(const QString& name, TypeName* out);

}  // namespace dbe::dialect
