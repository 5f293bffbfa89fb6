#pragma once
// The records tests' fixture: the complete archive of ConArchivioCompleto, the problem-record view
// over it with a bar that records its progress; helpers to read the archive back and to build tasks from catalogue
// entries.
#include "core/sessione.h"
#include "widgets/finestre.h"
#include "core/operatore.h"
#include "checks/catalogo.h"
#include "records/avanzamento.h"
#include "records/task_correzione.h"
#include "records/vista_correzione.h"
#include "support/archivi_prova.h"
#include "support/fixture_archivio.h"
#include "support/stampa_qt.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvale::prova {

// A bar that records what the walks did with it.
class BarraRegistrata : public Avanzamento {
public:
    void ImpostaMassimo(qint64 m) override { massimo = m; }
    void ImpostaValore(qint64 v) override
    {
        valore = v;
        valori << v;
    }
    qint64 Valore() const override { return valore; }
    void Mostra(bool v) override
    {
        visibile = v;
        ++cambiVisibilita;
    }
    void Ridisegna() override { ++ridisegni; }
    qint64 massimo = -1, valore = -1;
    QList<qint64> valori;
    bool visibile = false;
    int cambiVisibilita = 0, ridisegni = 0;
};

class ArchivioRecord : public ConArchivioCompleto {
protected:
    void SetUp() override
    {
        ConArchivioCompleto::SetUp();
        v.Barra = &barra;
    }
    void TearDown() override
    {
        v.DtRow = dbe::Recordset();
        v.DtColl = dbe::Recordset();
        ConArchivioCompleto::TearDown();
    }
    // The values of one column of a query, in order, Null as "<null>".
    QStringList colonna(const QString& query, const QString& campo = QString())
    {
        QStringList l;
        dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset(query);
        if (rs.RecordCount() > 0) {
            rs.MoveFirst();
            while (!rs.Eof()) {
                const QVariant x = campo.isEmpty() ? rs.Value(0) : rs.Value(campo);
                l << (x.isNull() ? QStringLiteral("<null>") : x.toString());
                rs.MoveNext();
            }
        }
        rs.Close();
        return l;
    }
    qint64 conta(const QString& tabella)
    {
        dbe::Recordset rs = SessioneProva().DbArchivi.OpenRecordset("SELECT * FROM " + tabella);
        if (rs.RecordCount() > 0)
            rs.MoveLast();
        const qint64 n = rs.RecordCount();
        rs.Close();
        return n;
    }
    // Catalogue entry n (1 to 29) as a task.
    static TaskCorrezione task(int n)
    {
        const VoceCatalogo& voce = VociCatalogo().at(size_t(n - 1));
        return {voce.Tipo, voce.P, voce.Descrizione, {}};
    }
    // Selects the rows at these positions of DtRow, in this order.
    void seleziona(std::initializer_list<int> posizioni)
    {
        for (int p : posizioni) {
            v.DtRow.SetAbsolutePosition(p);
            v.Selezione.Add(v.DtRow.GetBookmark());
        }
    }

    BarraRegistrata barra;
    VistaCorrezione v{SessioneProva()};
};

}  // namespace corvale::prova
