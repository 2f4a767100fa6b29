// Named statement parameters (":L_FROM") turned into the positional markers the client
// library takes, skipping string literals, quoted identifiers and comments.
#pragma once

#include <QString>
#include <QStringList>

namespace refdata {

struct PositionalSql {
    QString sql;       // the statement with every parameter replaced by "?"
    QStringList names; // the upper-cased parameter name of each "?", in order
};

// A repeated name stands at each of its places, so binding it once binds them all.
PositionalSql toPositional(const QString& sql);

} // namespace refdata
