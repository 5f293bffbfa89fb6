#pragma once
// The commands of corvale-cli, one file each. Each takes the arguments after its name (the English
// names of the first releases already turned into the Italian ones, see NomeItaliano) and returns
// one of the exit statuses below, which the help and the manual page list.
#include <QStringList>

namespace corvale::cli {

// What corvale-cli returns to the shell.
enum EsitoComando : int {
    kEsitoRiuscito = 0,  // done; controlla: no check found a problem
    kEsitoProblemi = 1,  // done, with problems found or left (controlla, correggi, ripara, annulla)
    kEsitoNonEseguito = 2,  // not done or failed: wrong arguments, an archive that does not open, a
                            // refusal; the reason is on stderr
};

// The Italian name of a command or an option given by one of the English names scripts may still
// use ("check", "--archive", ...); any other text unchanged.
QString NomeItaliano(const QString& parola);

int ComandoSql(const QStringList& args);
int ComandoControlla(const QStringList& args);
int ComandoDemo(const QStringList& args);
int ComandoCorreggiStruttura(const QStringList& args);
int ComandoCorreggi(const QStringList& args);
int ComandoRegistro(const QStringList& args);
int ComandoAnnulla(const QStringList& args);
int ComandoRipristina(const QStringList& args);
int ComandoRipara(const QStringList& args);
int ComandoImporta(const QStringList& args);

}  // namespace corvale::cli
