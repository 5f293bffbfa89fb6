#include "differenze_struttura.h"

#include "codici_struttura.h"

#include <QStringList>

namespace corvale {

namespace {

const QString kAssente = QStringLiteral("assente");
const QString kNonRilevabile = QStringLiteral("non rilevabile");

// A lookup in one database; a missing object or any engine failure gives the fallback text.
template <class Lettura>
QString leggi(const dbe::Database& db, const QString& tabella, Lettura lettura,
              const QString& altrimenti = kNonRilevabile)
{
    if (db.isNull())
        return altrimenti;
    try {
        return lettura(db.TableDefs().Item(tabella));
    } catch (const dbe::DbError&) {
        // A description the engine cannot read, for whatever reason, is shown as not readable.
        return altrimenti;
    }
}

QString campiIndice(const dbe::Index& indice)
{
    QStringList nomi;
    const dbe::FieldCollection campi = indice.Fields();
    for (int i = 0; i < campi.Count(); ++i)
        nomi << campi.Item(i).Name();
    return nomi.isEmpty() ? QStringLiteral("nessun campo") : QStringLiteral("campi ") + nomi.join(QStringLiteral(", "));
}

QString descriviCampo(const dbe::Field& f) { return NomeTipoCampo(f.Type(), f.Size()); }

QString descriviProprieta(const dbe::Property& p)
{
    const QString valore = p.Value().toString();
    return valore.isEmpty() ? QStringLiteral("presente") : QStringLiteral("presente: ") + valore;
}

}  // namespace

QString NomeTipoCampo(short tipo, qint32 dimensione)
{
    switch (tipo) {
    case dbe::dbBoolean: return QStringLiteral("Sì/No");
    case dbe::dbByte: return QStringLiteral("Byte");
    case dbe::dbInteger: return QStringLiteral("Intero");
    case dbe::dbLong: return QStringLiteral("Intero lungo");
    case dbe::dbCurrency: return QStringLiteral("Valuta");
    case dbe::dbSingle: return QStringLiteral("Precisione singola");
    case dbe::dbDouble: return QStringLiteral("Precisione doppia");
    case dbe::dbDate: return QStringLiteral("Data/ora");
    case dbe::dbBinary: return QStringLiteral("Binario");
    case dbe::dbText: return dimensione > 0 ? QStringLiteral("Testo (%1)").arg(dimensione) : QStringLiteral("Testo");
    case dbe::dbLongBinary: return QStringLiteral("Oggetto OLE");
    case dbe::dbMemo: return QStringLiteral("Memo");
    case dbe::dbGUID: return QStringLiteral("Identificativo di replica");
    case dbe::dbDecimal: return QStringLiteral("Decimale");
    default: return QStringLiteral("tipo %1").arg(tipo);
    }
}

QString DescriviAttributi(qint32 attributi)
{
    static const struct {
        qint32 bit;
        const char* nome;
    } nomi[] = {
        {dbe::dbFixedField, "lunghezza fissa"}, {dbe::dbVariableField, "lunghezza variabile"},
        {dbe::dbAutoIncrField, "contatore"},    {dbe::dbUpdatableField, "aggiornabile"},
        {dbe::dbSystemField, "di sistema"},     {dbe::dbHyperlinkField, "collegamento ipertestuale"},
    };
    QStringList parole;
    qint32 resto = attributi;
    for (const auto& n : nomi) {
        if (attributi & n.bit) {
            parole << QString::fromUtf8(n.nome);
            resto &= ~n.bit;
        }
    }
    if (resto != 0)
        parole << QStringLiteral("altri (%1)").arg(resto);
    return parole.isEmpty() ? QStringLiteral("nessuno") : parole.join(QStringLiteral(", "));
}

DifferenzaStruttura DescriviDifferenza(const dbe::Database& master, const dbe::Database& archivio,
                                       const QString& tabella, const QString& COD)
{
    const QString codice = RicavaDatoDaCod(QStringLiteral("CODICE"), COD);
    const QString campo = RicavaDatoDaCod(QStringLiteral("CAMPO"), COD);
    const QString indice = RicavaDatoDaCod(QStringLiteral("INDICE"), COD);
    auto delCampo = [&campo](auto descrivi) {
        return [&campo, descrivi](const dbe::TableDef& t) { return descrivi(t.Fields().Item(campo)); };
    };
    DifferenzaStruttura d;
    if (codice == cod::NoTab) {
        d.Oggetto = QStringLiteral("Tabella ") + tabella;
        d.Archivio = kAssente;
        d.Master = leggi(master, tabella, [](const dbe::TableDef& t) {
            return QStringLiteral("presente, con %1 campi").arg(t.Fields().Count());
        });
    } else if (codice == cod::NoFld) {
        d.Oggetto = QStringLiteral("Campo ") + campo;
        d.Archivio = kAssente;
        d.Master = leggi(master, tabella, delCampo(descriviCampo));
    } else if (codice == cod::Tipo) {
        d.Oggetto = QStringLiteral("Campo ") + campo;
        d.Archivio = leggi(archivio, tabella, delCampo(descriviCampo));
        // The master's own definition gives a text field's size too; the code alone, the type.
        d.Master = leggi(master, tabella, delCampo(descriviCampo),
                         NomeTipoCampo(short(RicavaDatoDaCod(QStringLiteral("TIPO"), COD).toInt())));
    } else if (codice == cod::Len) {
        auto caratteri = [](const QString& n) { return n + QStringLiteral(" caratteri"); };
        d.Oggetto = QStringLiteral("Campo ") + campo;
        d.Archivio = leggi(archivio, tabella,
                           delCampo([&](const dbe::Field& f) { return caratteri(QString::number(f.Size())); }));
        d.Master = caratteri(RicavaDatoDaCod(QStringLiteral("LUNGHEZZA"), COD));
    } else if (codice == cod::Attr) {
        d.Oggetto = QStringLiteral("Attributi del campo ") + campo;
        d.Archivio =
            leggi(archivio, tabella, delCampo([](const dbe::Field& f) { return DescriviAttributi(f.Attributes()); }));
        d.Master = DescriviAttributi(RicavaDatoDaCod(QStringLiteral("ATTRIBUTO"), COD).toInt());
    } else if (codice == cod::NoIdx) {
        d.Oggetto = QStringLiteral("Indice ") + indice;
        d.Archivio = kAssente;
        d.Master = leggi(master, tabella, [&indice](const dbe::TableDef& t) {
            return QStringLiteral("presente, ") + campiIndice(t.Indexes().Item(indice));
        });
    } else if (codice == cod::NoFldIdx) {
        auto campi = [&indice](const dbe::TableDef& t) { return campiIndice(t.Indexes().Item(indice)); };
        d.Oggetto = QStringLiteral("Indice ") + indice + QStringLiteral(", campo ") + campo;
        d.Archivio = leggi(archivio, tabella, campi);
        d.Master = leggi(master, tabella, campi);
    } else if (codice == cod::NoProp) {
        const QString nome = RicavaDatoDaCod(QStringLiteral("PROPRIETA"), COD);
        d.Oggetto = QStringLiteral("Proprietà ") + nome;
        d.Archivio = kAssente;
        d.Master = leggi(master, tabella,
                         [&nome](const dbe::TableDef& t) { return descriviProprieta(t.Properties().Item(nome)); });
    } else {
        d.Oggetto = COD;
        d.Archivio = kNonRilevabile;
        d.Master = kNonRilevabile;
    }
    return d;
}

}  // namespace corvale
