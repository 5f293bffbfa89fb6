#include "dirselector.h"

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
    const QString cartella = QFileDialog::getExistingDirectory(
        proprietario, Titolo, QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    return cartella.isEmpty() ? QString() : QDir::toNativeSeparators(cartella);
}

}  // namespace corvale
