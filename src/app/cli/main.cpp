// sprrate-cli: the program's main jobs without a window, on the same settings file and
// reference database as the program. It prints every host command it sends.
//
//   sprrate-cli run      [--rate N | --cancel-rate] [--socket NAME]
//   sprrate-cli estimate [--rate N | --cancel-rate] [--socket NAME]
//   sprrate-cli init-db  [--sample] [PATH]
//   sprrate-cli import-rates FILE [--replace] [--yes]
//   sprrate-cli history  [--record N] [--since DATE]
//
// run converts the stored pricing record on the terminal's display; estimate prints the
// estimated ticket image of the display as the dialog's labelled fields; init-db makes a
// new local reference database at PATH (default: the settings' DATABASE) from the
// installed schema, with the sample data when asked; import-rates checks a CSV file of
// rates (header FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO) and, with --yes, writes all of
// them in one transaction (--replace: in place of the stored rates they overlap); history
// prints the conversion journal's entries, newest first, of one record and from a day on
// (DD.MM.YYYY or YYYY-MM-DD) when asked. Exit
// status: 0 when the record was
// converted (the ticket image shown, the database made), 1 when a message ended the job,
// 2 for bad usage (also a --rate N beyond the rates the choice offers), 128 plus the
// signal's number when SIGINT or SIGTERM ended it.
#include "app/application.h"
#include "app/consoleinteraction.h"
#include "base/numbers.h"
#include "base/stopsignals.h"
#include "host/chosenlink.h"
#include "refdata/newdatabase.h"
#include "refdata/rateimport.h"

#ifdef Q_OS_WIN
#include "host/win/comlink.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <QDeadlineTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

// The folder of the shipped SQL scripts: share/sprrate beside the program's bin folder,
// both where the package installs it and in the build tree.
QString scriptFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/sprrate"_s);
}

int initDatabase(const app::Application& application, const QString& given, bool sample,
                 QTextStream& out, QTextStream& err)
{
    const QString path = given.isEmpty() ? application.settings().database : given;
    if (base::isServerLocation(path)) {
        err << "sprrate-cli: " << path
            << " is a database on a server; init-db makes a local file. A database on a "
               "server is made with scripts/make-refdb on the server's machine "
               "(docs/server.md).\n";
        return 1;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(absolute)) {
        err << "sprrate-cli: " << QDir::toNativeSeparators(absolute)
            << " exists already; init-db never overwrites a database. Give another PATH, or "
               "move the file away first.\n";
        return 1;
    }
    const QDir scripts(scriptFolder());
    QStringList files{scripts.filePath(u"schema.sql"_s)};
    if (sample)
        files << scripts.filePath(u"sample.sql"_s);
    try {
        refdata::createLocalDatabase(absolute, files);
    } catch (const std::exception& e) {
        err << "sprrate-cli: the database was not made: " << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }
    out << "sprrate-cli: made the database " << QDir::toNativeSeparators(absolute)
        << (sample ? " with the sample reference data" : "") << '\n';
    if (!given.isEmpty() &&
        QFileInfo(application.settings().database).absoluteFilePath() != absolute)
        out << "sprrate-cli: the program uses " << application.settings().database
            << "; set DATABASE in " << QDir::toNativeSeparators(application.settingsPath())
            << " to use this one.\n";
    return 0;
}

int importRates(app::Application& application, const QString& file, bool replace, bool yes,
                QTextStream& out, QTextStream& err)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        err << "sprrate-cli: cannot read " << file << ": " << f.errorString() << '\n';
        return 1;
    }
    refdata::RateImport import = refdata::readRateFile(f.readAll());
    try {
        if (import.problems.empty()) {
            application.database().connectIfNeeded();
            refdata::checkAgainstDatabase(import, application.database().IBDatabase);
        }
    } catch (const std::exception& e) {
        err << "sprrate-cli: " << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }
    if (!import.problems.empty()) {
        for (const refdata::ImportProblem& p : import.problems)
            err << refdata::problemText(file, p) << '\n';
        err << "sprrate-cli: nothing was written: mend the file and import it again.\n";
        return 1;
    }
    for (const QString& line : refdata::overlapTexts(file, import))
        err << line << '\n';
    if (!import.overlaps.empty() && !replace) {
        err << "sprrate-cli: nothing was written: rows overlap stored rates; give --replace "
               "to replace those stored rates.\n";
        return 1;
    }
    out << refdata::rateListing(import) << '\n';
    if (replace && !import.overlaps.empty())
        out << "They replace the stored rates they overlap.\n";
    if (!yes) {
        out << "Nothing was written (a check only): give --yes to write them.\n";
        return 0;
    }
    try {
        const int replaced = refdata::writeRates(import, application.database().IBDatabase, replace);
        out << "Wrote " << refdata::rateCount(import.rows.size());
        if (replaced > 0)
            out << " and removed the " << replaced
                << (replaced == 1 ? " stored rate it replaces" : " stored rates they replace");
        out << ".\n";
    } catch (const std::exception& e) {
        err << "sprrate-cli: nothing was written: " << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }
    return 0;
}

int printHistory(const app::Application& application, const pricing::HistoryFilter& filter,
                 QTextStream& out, QTextStream& err)
{
    const pricing::History history = pricing::readHistory(application.journalFile(), filter);
    if (history.entries.empty()) {
        out << "No entries in " << QDir::toNativeSeparators(application.journalFile().path())
            << (filter.record.isEmpty() && filter.since.isNull() ? "" : " match") << ".\n";
    } else {
        out << pricing::historyTable(history);
    }
    if (history.unreadable > 0 || !history.error.isEmpty())
        err << "sprrate-cli: " << pricing::historySummary(history) << '\n';
    return history.error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // SIGINT and SIGTERM: the job stops where it waits for the terminal or before its
    // next update command, and says what was already sent. A job that cannot see the
    // request (waiting at the rate prompt, before anything was sent) ends shortly after.
    std::atomic<bool> finished{false};
    base::StopSignals stop([&finished](int signal) {
        const QDeadlineTimer grace(3000);
        while (!finished && !grace.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!finished) {
            std::fputs("sprrate-cli: asked to end; nothing more was sent.\n", stderr);
            std::_Exit(128 + signal);
        }
    });
    struct Finished {
        std::atomic<bool>& flag;
        ~Finished() { flag = true; }
    } markFinished{finished};
    QCoreApplication core(argc, argv);
#ifdef Q_OS_WIN
    // COM on this thread for the terminal's toolkit, until the job's objects have gone.
    comlink::Apartment com;
#endif
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"SPR Rate without a window."_s);
    parser.addPositionalArgument(u"job"_s, u"run: convert the stored pricing record on the "
                                           u"terminal's display; estimate: print the "
                                           u"estimated ticket image of the display; init-db: "
                                           u"make a new reference database; import-rates: "
                                           u"read rates from a CSV file; history: print the "
                                           u"conversion journal."_s);
    parser.addPositionalArgument(u"path"_s, u"init-db: where the database goes (default: "
                                            u"DATABASE of the settings)."_s, u"[path]"_s);
    const QCommandLineOption rateOption(u"rate"_s,
                                        u"Choose the n-th of several valid rates without asking."_s,
                                        u"n"_s);
    const QCommandLineOption cancelOption(u"cancel-rate"_s, u"Cancel a choice of rates."_s);
    const QCommandLineOption socketOption(u"socket"_s,
                                          u"The terminal's socket (default: velmora-term)."_s,
                                          u"name"_s);
    const QCommandLineOption sampleOption(u"sample"_s,
                                          u"init-db: with the sample reference data."_s);
    const QCommandLineOption replaceOption(
        u"replace"_s, u"import-rates: replace the stored rates the file's rows overlap."_s);
    const QCommandLineOption yesOption(u"yes"_s, u"import-rates: write the rates."_s);
    const QCommandLineOption recordOption(u"record"_s, u"history: the entries of one record."_s,
                                          u"n"_s);
    const QCommandLineOption sinceOption(
        u"since"_s, u"history: the entries from a day on (DD.MM.YYYY or YYYY-MM-DD)."_s,
        u"date"_s);
    parser.addOptions({rateOption, cancelOption, socketOption, sampleOption, replaceOption,
                       yesOption, recordOption, sinceOption});
    parser.addHelpOption();
    if (!parser.parse(core.arguments())) {
        err << parser.errorText() << '\n';
        return 2;
    }
    if (parser.isSet(u"help"_s)) {
        out << parser.helpText();
        return 0;
    }
    const QStringList jobs = parser.positionalArguments();
    const bool initDb = !jobs.isEmpty() && jobs[0] == u"init-db";
    const bool import = jobs.size() == 2 && jobs[0] == u"import-rates";
    const bool hostJob = jobs.size() == 1 && (jobs[0] == u"run" || jobs[0] == u"estimate");
    const bool history = jobs.size() == 1 && jobs[0] == u"history";
    const bool hostOptions =
        parser.isSet(rateOption) || parser.isSet(cancelOption) || parser.isSet(socketOption);
    if (!(hostJob || import || history || (initDb && jobs.size() <= 2)) ||
        ((initDb || import || history) && hostOptions) ||
        (!initDb && parser.isSet(sampleOption)) ||
        (!import && (parser.isSet(replaceOption) || parser.isSet(yesOption))) ||
        (!history && (parser.isSet(recordOption) || parser.isSet(sinceOption)))) {
        err << "usage: sprrate-cli run|estimate [--rate N | --cancel-rate] [--socket NAME]\n"
               "       sprrate-cli init-db [--sample] [PATH]\n"
               "       sprrate-cli import-rates FILE [--replace] [--yes]\n"
               "       sprrate-cli history [--record N] [--since DATE]\n";
        return 2;
    }
    pricing::HistoryFilter filter;
    if (history) {
        filter.record = parser.value(recordOption).trimmed();
        if (parser.isSet(sinceOption)) {
            const auto day = base::numbers::parseDay(parser.value(sinceOption).trimmed());
            if (!day) {
                err << "sprrate-cli: --since takes a day as DD.MM.YYYY or YYYY-MM-DD\n";
                return 2;
            }
            filter.since = *day;
        }
    }
    const bool estimate = jobs[0] == u"estimate";

    app::RateChoice choice;
    if (parser.isSet(rateOption) && parser.isSet(cancelOption)) {
        err << "sprrate-cli: --rate and --cancel-rate cannot be given together\n";
        return 2;
    }
    if (parser.isSet(rateOption)) {
        bool ok = false;
        choice.item = parser.value(rateOption).toInt(&ok);
        if (!ok || choice.item < 1) {
            err << "sprrate-cli: --rate takes a number from 1\n";
            return 2;
        }
        choice.mode = app::RateChoice::Mode::Item;
    } else if (parser.isSet(cancelOption)) {
        choice.mode = app::RateChoice::Mode::Cancel;
    }
    app::ConsoleInteraction ui(in, out, err, choice);

    host::AutomationRegistry termLink;
    host::AutomationRegistry registry;
    registry.registerClass(host::HostSessionsProgId.toString(),
                           [&] { return termLink.createObject(host::HostSessionsProgId.toString()); });
    registry.registerClass(host::HostSessionProgId.toString(), [&] {
        return std::make_unique<host::ObservedSession>(
            termLink.create<host::HostSession>(host::HostSessionProgId), [&out](const QString& command) {
                // Each command printed on its way to the host.
                out << command << '\n';
                out.flush();
            });
    });

    // The settings file and the default database are the program's, found as for the
    // program beside this one.
    app::Application application(QDir(QCoreApplication::applicationDirPath()).filePath(u"sprrate"_s),
                                 ui, registry);
    application.readSettings();
    if (initDb)
        return initDatabase(application, jobs.value(1), parser.isSet(sampleOption), out, err);
    if (history)
        return printHistory(application, filter, out, err);
    if (import)
        return importRates(application, jobs[1], parser.isSet(replaceOption),
                           parser.isSet(yesOption), out, err);
    // The link is made when the settings are known: they give its time limit.
    host::TermLinkOptions options;
    options.socketName = parser.value(socketOption);
    options.timeout = std::chrono::seconds(application.settings().hostTimeLimit);
    // A socket named on the command line is velmora-term's, whatever the settings choose.
    host::registerChosenLink(termLink,
                             parser.isSet(socketOption) ? base::HostLinkKind::Socket
                                                        : application.settings().hostLink,
                             options);
    try {
        bool done = false;
        if (estimate)
            done = application.btnInformPricingClick();
        else
            done = application.btnRunClick().outcome == pricing::RunResult::Outcome::Converted;
        // A --rate outside the offered list cancelled the choice: nothing was written.
        if (ui.usageFailed())
            return 2;
        if (base::stopRequested())
            return 128 + base::stopSignal();
        return done ? 0 : 1;
    } catch (const std::exception& e) {
        ui.showMessage(QString::fromUtf8(e.what()));
        return 1;
    }
}
