#pragma once
// Icons and type names for Qt's file choosers that never look inside a file. A chooser that lists
// the archive's folder would otherwise open the archive's log to guess its type, and a descriptor
// of a database file opened and closed outside SQLite drops every lock of the program on it.
#include <QAbstractFileIconProvider>
#include <QIcon>

namespace corvale {

class IconeSenzaLettura : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType) const override { return QIcon(); }
    QIcon icon(const QFileInfo&) const override { return QIcon(); }
    QString type(const QFileInfo&) const override { return QString(); }
};

}  // namespace corvale
