// The folder selector's own chooser: modal, titled, limited to folders, a full path or nothing.
#include "app/dir_selector.h"
#include "dbengine/dbengine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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

// The chooser shown in the folder of an open archive lists it without ever looking inside the
// archive or its log: a descriptor opened and closed there outside SQLite would drop the program's
// locks (the descriptor guard of the test binary fails the test when that happens).
TEST(DirSelector, NelFolderDiUnArchivioApertoNonApreIFile)
{
    DirSelector::ImpostaScelta(nullptr);
    QTemporaryDir dir;
    const QString file = dir.filePath("lumera.mdb");
    dbe::Database db = dbe::CreateDatabase(file);
    db.Execute("CREATE TABLE T (A TEXT(10))");
    db.Execute("INSERT INTO T (A) VALUES ('x')");
    ASSERT_TRUE(QFileInfo::exists(file + "-wal"));
    QWidget finestra;
    DirSelector sel(&finestra);
    finestra.show();
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->setDirectory(dir.path());
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        d->reject();
    });
    EXPECT_EQ(sel.Apri("Scegliere la cartella"), "");
    db.Close();
}
