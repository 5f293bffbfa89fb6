// The folder selector's own chooser: modal, titled, limited to folders, a full path or nothing.
#include "app/dirselector.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace corvale;

namespace {
// Answers the next modal folder chooser: checks it, then picks `cartella` or cancels.
void Rispondi(const QString& cartella, QString* titolo, bool* soloCartelle)
{
    QTimer::singleShot(0, [=] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        *titolo = d->windowTitle();
        *soloCartelle = d->fileMode() == QFileDialog::Directory && d->testOption(QFileDialog::ShowDirsOnly);
        if (cartella.isEmpty()) {
            d->reject();
        } else {
            d->setDirectory(cartella);
            d->selectFile(cartella);
            static_cast<QDialog*>(d)->accept();
        }
    });
}
}  // namespace

TEST(DirSelector, SceltaEAnnullamento)
{
    DirSelector::ImpostaScelta(nullptr);
    QTemporaryDir dir;
    QWidget finestra;
    DirSelector sel(&finestra);
    finestra.show();
    QString titolo;
    bool soloCartelle = false;
    Rispondi(dir.path(), &titolo, &soloCartelle);
    EXPECT_EQ(sel.Apri("Scegliere la cartella"), dir.path());
    EXPECT_EQ(titolo, "Scegliere la cartella");
    EXPECT_TRUE(soloCartelle);
    Rispondi(QString(), &titolo, &soloCartelle);
    EXPECT_EQ(sel.Apri("Altro titolo"), "");
    EXPECT_EQ(titolo, "Altro titolo");
    // The root comes back as the system writes it.
    Rispondi("/", &titolo, &soloCartelle);
    EXPECT_EQ(sel.Apri("Radice"), "/");
}
