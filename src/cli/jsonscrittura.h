#pragma once
// Json: a small writer of JSON values that keeps the members of an object in the order they were
// added (QJsonObject sorts them), for the commands' --json output.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace corvale::cli {

class Json {
public:
    Json(const QString& testo) : tipo_(Testo), testo_(testo) {}
    static Json oggetto();
    static Json elenco(const QList<Json>& valori);
    static Json elenco(const QStringList& valori);

    void aggiungi(const char* nome, const Json& valore);
    // Indented text, two spaces a level.
    QString testo(int livello = 0) const;

private:
    enum Tipo { Testo, Oggetto, Elenco };
    Json() = default;
    Tipo tipo_ = Oggetto;
    QString testo_;
    QList<QPair<QString, Json>> membri_;
    QList<Json> valori_;
};

}  // namespace corvale::cli
