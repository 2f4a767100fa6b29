// One agent's program against a shared reference database, driven line by line from
// standard input by the multi-user tests: rate lookups as the conversion run makes them,
// the host fallback that stores a rate, and rate edits through the table browser as the
// rate list window makes them. Each command is answered by one line, "ok ..." or
// "error <what>: <text>"; "stress" also prints one "committed <id>" line per edit.
//
// Usage: sprrate-dbworker LOCATION   (user and password are the program's defaults)
#include "base/settings.h"
#include "refdata/referencedb.h"
#include "refdata/tablebrowser.h"
#include "rates/ratelookup.h"

#include "support/recordinginteraction.h"

#include <QCoreApplication>
#include <QThread>

#include <iostream>
#include <random>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

class Worker {
public:
    explicit Worker(const QString& location)
        : m_lookup(m_db, m_ui, [this](const QString&, const QString&, double amount, bool) {
              return amount * m_hostRate;
          })
    {
        m_db.setLocation(location, base::defaults::UserName.toString(),
                         base::defaults::Password.toString());
    }

    // Runs one command; returns its answer line.
    QString run(const QStringList& words)
    {
        const QString& verb = words.value(0);
        if (verb == u"lookup" && words.size() == 4)
            return u"ok "_s + number(m_lookup.LookupRate(words[3], words[1], words[2], true));
        if (verb == u"fallback" && words.size() == 5) {
            m_hostRate = words[4].toDouble();
            return u"ok "_s + number(m_lookup.LookupRate(words[3], words[1], words[2], false));
        }
        if (verb == u"edit" && words.size() == 2)
            return u"ok "_s + number(editRow(words[1].toInt()));
        if (verb == u"set" && words.size() == 2) {
            m_browser->setNumber(u"RATE_AMOUNT"_s, words[1].toDouble());
            return u"ok"_s;
        }
        if (verb == u"post") {
            m_browser->post();
            return u"ok"_s;
        }
        if (verb == u"cancel") {
            m_browser->cancel();
            return u"ok"_s;
        }
        if (verb == u"stress" && words.size() >= 5)
            return stress(words);
        return u"error usage: "_s + words.join(u' ');
    }

private:
    // Opens the rate table on one row and starts editing it (the row lock).
    double editRow(int id)
    {
        m_browser = std::make_unique<refdata::TableBrowser>(m_db);
        m_browser->setTableName(u"FARE_CURRENCY_RATE"_s);
        m_browser->setFilter(u"RATE_IDENTIFICATOR = %1"_s.arg(id));
        m_browser->setFiltered(true);
        m_browser->open();
        if (m_browser->isEmpty())
            throw refdata::RefDataError(u"no row %1"_s.arg(id));
        m_browser->edit();
        return m_browser->number(u"RATE_AMOUNT"_s);
    }

    // stress LOOKUPS EDITS SEED FROM:TO:CARRIER ID...: the lookups and edits shuffled;
    // each edit adds 1 to a row's rate, holding the row a few milliseconds as a person
    // typing would, and is retried (after further lookups) when another agent holds it.
    QString stress(const QStringList& words)
    {
        int lookupsLeft = words[1].toInt();
        int editsLeft = words[2].toInt();
        std::mt19937 random(words[3].toUInt());
        const QStringList pair = words[4].split(u':');
        std::vector<int> ids;
        for (qsizetype i = 5; i < words.size(); ++i)
            ids.push_back(words[i].toInt());
        if (pair.size() != 3 || ids.empty())
            return u"error usage: stress"_s;
        int conflicts = 0;
        int missing = 0;
        while (lookupsLeft > 0 || editsLeft > 0) {
            const bool edit =
                editsLeft > 0 && (lookupsLeft == 0 ||
                                  int(random() % unsigned(lookupsLeft + editsLeft)) < editsLeft);
            if (!edit) {
                if (!(m_lookup.LookupRate(pair[2], pair[0], pair[1], true) > 0))
                    ++missing;
                --lookupsLeft;
                continue;
            }
            const int id = ids[random() % ids.size()];
            try {
                const double amount = editRow(id);
                QThread::msleep(3);
                m_browser->setNumber(u"RATE_AMOUNT"_s, amount + 1);
                m_browser->post();
                std::cout << "committed " << id << std::endl;
                --editsLeft;
            } catch (const refdata::BrowserError& e) {
                if (e.kind() != refdata::BrowserError::Kind::Locked)
                    throw;
                ++conflicts;
            }
            m_browser.reset();
        }
        return u"ok conflicts=%1 missing=%2"_s.arg(conflicts).arg(missing);
    }

    static QString number(double v) { return QString::number(v, 'g', 17); }

    refdata::ReferenceDatabase m_db;
    testsupport::RecordingInteraction m_ui;
    double m_hostRate = 0;
    rates::RateLookup m_lookup;
    std::unique_ptr<refdata::TableBrowser> m_browser;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::cerr << "usage: sprrate-dbworker LOCATION\n";
        return 2;
    }
    Worker worker(args[1]);
    std::string line;
    std::cout << "ready" << std::endl;
    while (std::getline(std::cin, line)) {
        const QStringList words =
            QString::fromStdString(line).split(u' ', Qt::SkipEmptyParts);
        if (words.value(0) == u"quit")
            break;
        QString answer;
        try {
            answer = worker.run(words);
        } catch (const refdata::BrowserError& e) {
            answer = (e.kind() == refdata::BrowserError::Kind::Locked ? u"error locked: "_s
                                                                       : u"error browser: "_s) +
                     e.message();
        } catch (const refdata::RefDataError& e) {
            answer = u"error database: "_s + e.message();
        } catch (const std::exception& e) {
            answer = u"error other: "_s + QString::fromLocal8Bit(e.what());
        }
        std::cout << answer.simplified().toStdString() << std::endl;
    }
    return 0;
}
