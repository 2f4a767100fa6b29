// A program appending entries to a journal as fast as it can, for the tests of programs
// writing at once: journalwriter PATH ROTATE_AT WRITER COUNT. Entry n of writer w is the
// line {"w":W,"n":N,"pad":"..."} with padding of up to 40 KB, so that entries are larger
// than what the system writes in one piece to a pipe.
#include "base/journalfile.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    const QStringList args = core.arguments();
    if (args.size() != 5)
        return 2;
    const base::JournalFile journal(args[1], args[2].toLongLong());
    const int writer = args[3].toInt();
    const int count = args[4].toInt();
    for (int n = 0; n < count; ++n) {
        const QByteArray pad((n * 7919 + writer * 104729) % 40000, char('a' + (n + writer) % 26));
        const QByteArray entry = "{\"w\":" + QByteArray::number(writer) + ",\"n\":" +
                                 QByteArray::number(n) + ",\"pad\":\"" + pad + "\"}";
        const QString why = journal.append(entry);
        if (!why.isEmpty()) {
            std::fprintf(stderr, "entry %d: %s\n", n, why.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
