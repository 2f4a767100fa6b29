#include "refdata/sqlparams.h"

namespace refdata {
namespace {
bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }
} // namespace

PositionalSql toPositional(const QString& sql)
{
    PositionalSql out;
    out.sql.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    // Copies a quoted text ('...' or "...", the quote doubled inside) as it stands.
    const auto copyQuoted = [&](QChar quote) {
        out.sql.append(sql[i++]);
        while (i < n) {
            const QChar c = sql[i++];
            out.sql.append(c);
            if (c == quote) {
                if (i < n && sql[i] == quote) {
                    out.sql.append(sql[i++]);
                    continue;
                }
                return;
            }
        }
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            copyQuoted(c);
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? n : end;
            out.sql.append(QStringView(sql).mid(i, stop - i));
            i = stop;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out.sql.append(QStringView(sql).mid(i, stop - i));
            i = stop;
        } else if (c == u':' && i + 1 < n && isNameStart(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            out.names.append(sql.mid(i + 1, j - i - 1).toUpper());
            out.sql.append(u'?');
            i = j;
        } else {
            out.sql.append(c);
            ++i;
        }
    }
    return out;
}

} // namespace refdata
