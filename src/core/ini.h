#pragma once
// The settings-file reader: a private-profile (INI) text file read the way the Windows profile
// reader reads it. Callers get the value of one key of one section, or the empty text; the reader
// never writes, never throws and accepts any bytes (missing, empty, binary, huge or UTF-16 files).
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace corvale {

// The file's text: UTF-16 (little or big endian, by its byte-order mark), UTF-8 (with or without
// its mark) or, when the bytes are not UTF-8, the single-byte Western code page.
QString DecodificaIni(const QByteArray& contenuto);

// The value of `chiave` in section `sezione` of an INI text, as the profile reader returns it into
// a buffer of `massimo` + 1 characters: section and key names compared without regard to case and
// to surrounding white space; only the first section of that name is looked at, and in it the
// first line of that key; the value is cut at a NUL character, stripped of surrounding white space
// and of one pair of matching quotes, and cut to its first `massimo` characters. An absent section
// or key, or a key with nothing after the equals sign, gives the empty text.
QString LeggiValoreIni(QStringView testo, QStringView sezione, QStringView chiave, qsizetype massimo = 255);
// The same on a file's bytes.
QString LeggiValoreIni(const QByteArray& contenuto, QStringView sezione, QStringView chiave, qsizetype massimo = 255);
// The same on a file; a missing or unreadable file, and anything that is not a plain file (a
// folder, a pipe, a device), gives the empty text at once: nothing is opened that could block.
QString LeggiFileIni(const QString& file, QStringView sezione, QStringView chiave, qsizetype massimo = 255);
// What a path that exists but is no plain file is, in words ("una cartella", "una pipe con nome
// (FIFO)", "un dispositivo", "un socket"); empty for a plain file (or a link to one) and for a path
// where nothing is. Only asks the file's kind, never opens it.
QString TipoNonOrdinario(const QString& file);

}  // namespace corvale
