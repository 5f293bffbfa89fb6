#include "support/coppia_prova.h"
#include "support/sessione_prova.h"

#include "checks/ciclo_controllo.h"
#include "checks/catalogo.h"
#include "structure/correzioni_struttura.h"

#include <sqlite3.h>

namespace corvale::prova {

Coppia::Coppia()
{
    dbe::CreateDatabase(percorsoMaster()).Close();
    dbe::CreateDatabase(percorsoArchivio()).Close();
}

Coppia::~Coppia()
{
    for (dbe::Database* d :
         {static_cast<dbe::Database*>(&SessioneProva().DbArchivi), &corvale::prova::SessioneProva().DbMaster}) {
        try {
            if (!d->isNull() && d->IsOpen())
                d->Close();
        } catch (const dbe::DbError&) {
        }
        *d = dbe::Database();
    }
}

QString Coppia::percorsoMaster() const { return dir_.filePath(QStringLiteral("esempio.mdb")); }
QString Coppia::percorsoArchivio() const { return dir_.filePath(QStringLiteral("lumera.mdb")); }

static void esegui(const QString& file, const QStringList& istruzioni)
{
    dbe::Database db = dbe::OpenDatabase(file);
    for (const QString& s : istruzioni)
        db.Execute(s);
    db.Close();
}

void Coppia::master(const QStringList& istruzioni) { esegui(percorsoMaster(), istruzioni); }
void Coppia::archivio(const QStringList& istruzioni) { esegui(percorsoArchivio(), istruzioni); }
void Coppia::entrambi(const QStringList& istruzioni)
{
    master(istruzioni);
    archivio(istruzioni);
}

void Coppia::apri()
{
    SessioneProva().DbMaster = dbe::OpenDatabase(percorsoMaster(), true);
    SessioneProva().DbArchivi = dbe::OpenDatabase(percorsoArchivio());
}

QString Dump(const QString& file)
{
    sqlite3* db = nullptr;
    QString out;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("(non apribile)");
    }
    QStringList tabelle;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT type, name, sql FROM sqlite_master ORDER BY type, name", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString tipo = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        const QString nome = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        out += tipo + QLatin1Char(' ') + nome + QLatin1Char(' ')
               + QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2))) + QLatin1Char('\n');
        if (tipo == QLatin1String("table"))
            tabelle << nome;
    }
    sqlite3_finalize(st);
    for (const QString& t : tabelle) {
        QString q = QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(QString(t).replace('"', "\"\""));
        sqlite3_prepare_v2(db, q.toUtf8().constData(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            QStringList riga;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const char* v = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                riga << (v ? QString::fromUtf8(v) : QStringLiteral("<null>"));
            }
            out += t + QLatin1Char(':') + riga.join(QLatin1Char('|')) + QLatin1Char('\n');
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

int RigaStruttura(const Manutenzione& m, const QString& tabella)
{
    for (int li = 0; li < m.LstTask.Conta(); ++li)
        if (m.LstTask.Riga(li).Testo.compare(QStringLiteral("Controllo Struttura Tabella <<%1>>").arg(tabella),
                                             Qt::CaseInsensitive)
            == 0)
            return li;
    return -1;
}

void Prepara(Manutenzione& m)
{
    CollegaCorrezioniStruttura(m);
    m.CreaLista();
    CaricaTask(m);
}

QStringList Correggi(Manutenzione& m, const QString& tabella)
{
    const int li = RigaStruttura(m, tabella);
    if (li < 0)
        return {QStringLiteral("nessun task per ") + tabella};
    m.LstTask.Seleziona(li);
    m.LstTask.ImpostaSpunta(li, true);  // a task that passed was unticked, and would not run
    ControlloItem(m, li);
    AttivaCorrezioneStruttura(m);
    GestisciCorrezioneStruttura(m, Manutenzione::Id(m.LstTask.Riga(li).Chiave));
    QStringList righe;
    for (int r = 0; r < m.LstStruct.Conta(); ++r) {
        const RigaLista& riga = m.LstStruct.Riga(r);
        righe << riga.Testo + QLatin1Char('|') + riga.TestoStato + QLatin1Char('|') + riga.Nota;
    }
    return righe;
}

QVariantList Valori(const QString& tabella, const QString& campo)
{
    QVariantList v;
    dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(tabella, dbe::dbOpenTable);
    for (; !rs.Eof(); rs.MoveNext())
        v << rs.Value(campo);
    rs.Close();
    return v;
}

void PermettiVuoto(const QString& file, const QString& tabella, const QStringList& campi)
{
    dbe::Database db = dbe::OpenDatabase(file);
    for (const QString& c : campi)
        db.TableDefs().Item(tabella).Fields().Item(c).SetAllowZeroLength(true);
    db.Close();
}

}  // namespace corvale::prova
