#pragma once
// Damage made by hand in an archive file that no connection of the test process has open, for the
// tests of the verification and the repair: customers enough for many pages, and one leaf page of
// their table whose records are overwritten with random bytes (its page header and cell pointers
// kept, so that SQLite still walks the page and reads garbage from it as records).
#include "support/sqlite_file.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace corvale::prova {

// The n customers the tests write in place of those there: CODICE "K<i>", RAGSOC a text of 40
// letters and i; rowid i + 1.
inline QString RagioneSociale(int i) { return QString(40, QChar('a' + i % 26)) + QString::number(i); }
inline void ScriviClienti(const QString& file, int n)
{
    QString sql = QStringLiteral("BEGIN; DELETE FROM CLIENTI;");
    for (int i = 0; i < n; ++i)
        sql +=
            QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('K%1', '%2');").arg(i).arg(RagioneSociale(i));
    testsupport::sqliteExec(file, sql + QStringLiteral("COMMIT;"));
}

// Damages one leaf page of CLIENTI (chosen by g among those past the first): the values of about
// half of its records become random bytes of the same length (their headers kept, so that they
// still read as records), and its first record's size is made to run off the page. Returns the
// records whose values were overwritten.
inline int DanneggiaFoglioClienti(const QString& file, QRandomGenerator& g)
{
    testsupport::sqliteExec(file, "PRAGMA wal_checkpoint(TRUNCATE)");
    const QStringList pagine =
        testsupport::sqliteValue(file,
                                 "SELECT group_concat(pageno) FROM dbstat WHERE name = 'CLIENTI' AND pagetype = 'leaf'")
            .toString()
            .split(',');
    const qint64 dimensione = testsupport::sqliteValue(file, "PRAGMA page_size").toLongLong();
    EXPECT_GT(pagine.size(), 4);
    const qint64 pagina = pagine.at(1 + int(g.bounded(qint64(pagine.size() - 2)))).toLongLong();
    QByteArray b = testsupport::fileBytes(file);
    const qint64 inizio = (pagina - 1) * dimensione;
    const auto u16 = [&](qint64 at) { return qint64((quint8(b[int(at)]) << 8) | quint8(b[int(at + 1)])); };
    const auto varint = [&](qint64& at) {
        qint64 v = 0;
        for (int i = 0; i < 9; ++i) {
            const quint8 c = quint8(b[int(at++)]);
            v = (v << 7) | (c & 0x7f);
            if (!(c & 0x80))
                break;
        }
        return v;
    };
    const qint64 celle = u16(inizio + 3);
    int alterati = 0;
    for (qint64 i = 1; i < celle; ++i) {
        if (g.bounded(2) == 0)
            continue;
        qint64 at = inizio + u16(inizio + 8 + 2 * i);
        const qint64 carico = varint(at);
        varint(at);  // the rowid
        const qint64 corpo = at;
        const qint64 intestazione = varint(at);
        for (qint64 k = corpo + intestazione; k < corpo + carico; ++k)
            b[int(k)] = char(g.bounded(256));
        ++alterati;
    }
    const qint64 prima = inizio + u16(inizio + 8);
    b.replace(int(prima), 4, QByteArray("\xff\xff\xff\x7f", 4));
    testsupport::writeFile(file, b);
    return alterati;
}

// How an index is damaged by DanneggiaIndice.
enum class DannoIndice { VociInPiu, VociMancanti, ValoreDiverso };

// Damages index `indice` behind SQLite's back, on k records of its table chosen by g: the index is
// declared partial with a predicate no record meets (so that SQLite leaves it as it is), the records
// are deleted (the index keeps their entries), deleted and put back whole with their rowids (the
// index misses them) or given another value in the index's first field (the index keeps the old
// one), and the index's declaration is put back. Each step is a connection of its own.
inline void DanneggiaIndice(const QString& file, const QString& indice, DannoIndice danno, int k, QRandomGenerator& g)
{
    using testsupport::sqliteExec;
    using testsupport::sqliteValue;
    const QString nome = QString(indice).replace('\'', "''");
    const QString sql =
        sqliteValue(file, QString("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(nome)).toString();
    const QString tabella =
        sqliteValue(file, QString("SELECT tbl_name FROM sqlite_master WHERE name = '%1'").arg(nome)).toString();
    const QString campo =
        sqliteValue(file, QString("SELECT name FROM pragma_index_info('%1') WHERE seqno = 0").arg(nome)).toString();
    QStringList righe =
        sqliteValue(file, QString("SELECT group_concat(rowid) FROM \"%1\"").arg(tabella)).toString().split(',');
    QStringList scelte;
    for (int i = 0; i < k && !righe.isEmpty(); ++i)
        scelte << righe.takeAt(int(g.bounded(qint64(righe.size()))));
    const QString dove = QString("rowid IN (%1)").arg(scelte.join(','));
    const auto dichiara = [&](const QString& testo) {
        sqliteExec(file, QString("PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = '%1' WHERE name = '%2'; "
                                 "PRAGMA writable_schema = OFF;")
                             .arg(QString(testo).replace('\'', "''"), nome));
    };
    const QString colonne =
        sqliteValue(file,
                    QString("SELECT group_concat('\"' || name || '\"') FROM pragma_table_info('%1')").arg(tabella))
            .toString();
    if (danno == DannoIndice::VociMancanti)
        sqliteExec(file, QString("CREATE TABLE DANNO_TENUTI AS SELECT rowid AS R_, %1 FROM \"%2\" WHERE %3; DELETE "
                                 "FROM \"%2\" WHERE %3;")
                             .arg(colonne, tabella, dove));
    dichiara(sql + " WHERE 0");
    switch (danno) {
    case DannoIndice::VociInPiu: sqliteExec(file, QString("DELETE FROM \"%1\" WHERE %2").arg(tabella, dove)); break;
    case DannoIndice::VociMancanti:
        sqliteExec(file,
                   QString("INSERT INTO \"%1\" (rowid, %2) SELECT R_, %2 FROM DANNO_TENUTI; DROP TABLE DANNO_TENUTI;")
                       .arg(tabella, colonne));
        break;
    case DannoIndice::ValoreDiverso:
        sqliteExec(file,
                   QString("UPDATE \"%1\" SET \"%2\" = CASE typeof(\"%2\") WHEN 'text' THEN \"%2\" || 'Q' WHEN 'null' "
                           "THEN 'Q' ELSE \"%2\" + 1000000007 END WHERE %3")
                       .arg(tabella, campo, dove));
        break;
    }
    dichiara(sql);
}

}  // namespace corvale::prova
