#include "dir_selector.h"

#include "widgets/icone_senza_lettura.h"

#include <QDir>
#include <QFileDialog>

namespace corvale {

namespace {
DirSelector::Scelta& scelta()
{
    static DirSelector::Scelta s;
    return s;
}
}  // namespace

DirSelector::DirSelector(QWidget* padre) : QWidget(padre)
{
    setProperty("classe", QString::fromLatin1(NomeClasse));
    setFixedSize(Lato, Lato);
    setFocusPolicy(Qt::NoFocus);
}

void DirSelector::ImpostaScelta(Scelta s) { scelta() = std::move(s); }

QStringList& DirSelector::Titoli()
{
    static QStringList t;
    return t;
}

QString DirSelector::Apri(const QString& Titolo)
{
    Titoli().append(Titolo);
    QWidget* proprietario = window();
    if (scelta())
        return scelta()(proprietario, Titolo);
    // Qt's own chooser (not the system's, which would guess the type of every file it lists),
    // with icons that never look inside a file: the folder may hold an open archive.
    QFileDialog d(proprietario, Titolo, QDir::homePath());
    IconeSenzaLettura icone;
    d.setIconProvider(&icone);
    d.setFileMode(QFileDialog::Directory);
    d.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks | QFileDialog::DontUseNativeDialog);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(d.selectedFiles().constFirst());
}

}  // namespace corvale
