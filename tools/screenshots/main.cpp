// Photographs the program's windows, each filled the way the program fills it, from the
// X display it runs on: the window's frame is cut out of the root window with
// ImageMagick's import. scripts/screenshots sets up the display, a velmora-term on a
// sample screen and a sample database.
//
// Usage: sprrate-screenshots --socket PATH --database PATH --out DIR [WINDOW...]
// To add a window, add a function that shows it and calls Camera::take, and list it in
// shots below.
#include "listwindows.h"

#include "app/application.h"
#include "app/ui/setupform.h"
#include "host/termlinkclient.h"
#include "pricing/ui/ticketimage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Options {
    QString socket;   // velmora-term's socket
    QString database; // a reference database with the sample data
    QString out;      // where the pictures go
};

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

// Takes a picture of a shown window, frame included.
class Camera {
public:
    explicit Camera(QString out) : m_out(std::move(out)) {}

    bool take(QWidget& window, const QString& name)
    {
        // Let the window manager frame the window and the window paint itself.
        const QDeadlineTimer settle(1500);
        while (!settle.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(20);
        }
        const QRect frame = window.frameGeometry();
        const QString file = QDir(m_out).filePath(name + u".png"_s);
        QProcess import;
        import.setProcessChannelMode(QProcess::ForwardedChannels);
        import.start(
            u"import"_s,
            {u"-window"_s, u"root"_s, u"-crop"_s,
             u"%1x%2+%3+%4"_s.arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y()),
             u"+repage"_s, file});
        if (!import.waitForFinished(30000) || import.exitStatus() != QProcess::NormalExit ||
            import.exitCode() != 0) {
            err() << "import failed for " << file << '\n';
            return false;
        }
        QTextStream(stdout) << file << '\n';
        return true;
    }

private:
    QString m_out;
};

// The program's way of asking the user, where every message is a fault of the set-up and
// the estimate's dialog is photographed instead of waited for.
class ShotInteraction : public base::UserInteraction {
public:
    ShotInteraction(Camera& camera, QString name) : m_camera(camera), m_name(std::move(name)) {}

    void showMessage(const QString& text) override
    {
        err() << "message: " << text << '\n';
        m_ok = false;
    }
    std::optional<QString> chooseRate(const QStringList& items) override
    {
        err() << "rate choice of " << items.size() << " rates: the sample should have one\n";
        m_ok = false;
        return std::nullopt;
    }
    void showTicketImage(const base::TicketImage& fields) override
    {
        TdlgTicketImage dialog;
        dialog.setFields(fields);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            dialog.move(screen->availableGeometry().center() - dialog.rect().center());
        dialog.show();
        dialog.bDialogClose->setFocus();
        m_shown = m_camera.take(dialog, m_name);
    }

    bool ok() const { return m_ok && m_shown; }

private:
    Camera& m_camera;
    QString m_name;
    bool m_ok = true;
    bool m_shown = false;
};

// The estimate of the terminal's ticket image, as the Ticket Image button makes it.
bool ticketImage(const Options& o, Camera& camera)
{
    QTemporaryDir folder;
    QFile ini(folder.filePath(u"sprrate.INI"_s));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("[MAIN]\nDATABASE=" + o.database.toUtf8() + "\n");
    ini.close();
    host::AutomationRegistry registry;
    host::registerTermLink(registry, {o.socket, std::chrono::seconds(10)});
    ShotInteraction ui(camera, u"ticket-image"_s);
    app::Application application(folder.filePath(u"sprrate"_s), ui, registry);
    application.readSettings();
    application.btnInformPricingClick();
    return ui.ok();
}

// The setup dialog with the shipped settings, as Setup opens it on a new installation.
bool setupShot(const Options&, Camera& camera)
{
    TformSetup dialog;
    dialog.fill(base::readSettings(QString(), QString()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    dialog.show();
    dialog.eFareRegExp->setFocus();
    return camera.take(dialog, u"setup"_s);
}

// A reference data list window as the menu shows it (listwindows.cpp).
bool listShot(const QString& which, const Options& o, Camera& camera)
{
    return screenshots::listWindow(which, o.database, [&](QWidget& w, const QString& name) {
        return camera.take(w, name);
    });
}

const std::pair<QStringView, std::function<bool(const Options&, Camera&)>> shots[] = {
    {u"ticket-image", ticketImage},
    {u"rate", [](const Options& o, Camera& c) { return listShot(u"rate"_s, o, c); }},
    {u"currency", [](const Options& o, Camera& c) { return listShot(u"currency"_s, o, c); }},
    {u"provider", [](const Options& o, Camera& c) { return listShot(u"provider"_s, o, c); }},
    {u"taxes", [](const Options& o, Camera& c) { return listShot(u"taxes"_s, o, c); }},
    {u"setup", setupShot},
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({u"socket"_s, u"velmora-term's socket"_s, u"path"_s});
    parser.addOption({u"database"_s, u"reference database"_s, u"path"_s});
    parser.addOption({u"out"_s, u"folder for the pictures"_s, u"dir"_s});
    parser.addPositionalArgument(u"windows"_s, u"windows to photograph (default: all)"_s);
    parser.process(app);
    const Options o{parser.value(u"socket"_s), parser.value(u"database"_s), parser.value(u"out"_s)};
    if (o.socket.isEmpty() || o.database.isEmpty() || o.out.isEmpty()) {
        err() << "usage: sprrate-screenshots --socket PATH --database PATH --out DIR "
                 "[WINDOW...]\n";
        return 2;
    }
    QStringList wanted = parser.positionalArguments();
    Camera camera(o.out);
    bool ok = true;
    for (const auto& [name, take] : shots) {
        if (!wanted.isEmpty() && !wanted.removeAll(name.toString()))
            continue;
        if (!take(o, camera)) {
            err() << name.toString() << ": no picture\n";
            ok = false;
        }
    }
    for (const QString& unknown : wanted) {
        err() << "unknown window " << unknown << '\n';
        ok = false;
    }
    return ok ? 0 : 1;
}
