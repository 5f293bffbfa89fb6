#pragma once
// The commands of corvale-cli, one file each. Each takes the arguments after its name and returns
// the exit status: 0 success, 1 problems found or left, 2 an error (its message on stderr).
#include <QStringList>

namespace corvale::cli {

int ComandoSql(const QStringList& args);
int ComandoCheck(const QStringList& args);
int ComandoDemo(const QStringList& args);
int ComandoRepairStructure(const QStringList& args);
int ComandoCorrect(const QStringList& args);
int ComandoImport(const QStringList& args);

}  // namespace corvale::cli
