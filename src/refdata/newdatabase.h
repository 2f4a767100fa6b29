// A new reference database made by the program itself (sprrate-cli init-db): the file
// created through the client library with the character set the program speaks, then the
// shipped SQL scripts (the schema, the sample data) run on it.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

namespace refdata {

// The statements of an SQL script as isql reads it: ";" ends a statement unless
// "SET TERM" changed the terminator; comments ("/* */", "--") and the text of quoted
// literals and names are kept whole. "SET TERM" itself is not among them; "COMMIT" is.
// An unterminated comment or literal, or text after the last terminator, is an error
// naming its line.
struct SqlStatement {
    QString text; // without its terminator and without comments
    int line = 0; // where it begins, from 1
};
std::vector<SqlStatement> sqlStatements(const QString& script);

// Creates the local database file at path (dialect 3, page size 8192, default character
// set WIN1251) and runs the scripts on it in their order, each statement committed at the
// script's COMMIT and at its end. Refuses a server location and a path that exists. The
// file appears at path only when complete; a failure removes the half-made one and
// raises DbError with the script and statement that failed. A part an earlier attempt
// left (the program killed half-way) is removed once it is PartLeftAfter old.
inline constexpr std::chrono::seconds PartLeftAfter{600};
void createLocalDatabase(const QString& path, const QStringList& scriptFiles);

} // namespace refdata
