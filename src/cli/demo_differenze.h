#pragma once
// The deliberate differences between the demo's archive and its master: which master tables the
// archive lacks, and per table the fields, indexes, index fields and properties it lacks and the
// fields it holds with another length, type or attribute flags. Every difference is one the
// structure corrections can put right from the master (shorter texts whose values fit, texts of
// digits where the master has numbers, a hyperlink flag missing, non-unique indexes short of a
// field). Callers may rely on the list being fixed.
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace corvale::cli::demo {

// A field the archive holds differently: the archive's type and size (type 0 keeps the
// master's), and the master's attribute flags to clear.
struct CampoDiverso {
    QString campo;
    short tipo = 0;
    qint32 dimensione = 0;
    qint32 attributiTolti = 0;
};

struct DifferenzeTabella {
    QStringList campiMancanti;
    QVector<CampoDiverso> campiDiversi;
    QStringList indiciMancanti;
    QHash<QString, QString> campiIndiceMancanti;  // index -> the field it lacks
    QStringList proprietaMancanti;
    // The number of problems the structure comparison reports for the table.
    int problemi() const;
};

// Master tables the archive lacks entirely.
QStringList TabelleMancanti();
// The differences of one table (empty when the archive's table is identical to the master's).
DifferenzeTabella Differenze(const QString& tabella);

}  // namespace corvale::cli::demo
