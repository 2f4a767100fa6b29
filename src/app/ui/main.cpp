// The program: one small window above the host terminal. No command-line options and
// no environment variables steer it; its settings are the INI file beside it, or the
// user's own for an installed program.
#include "app/ui/mainform.h"
#include "app/ui/sprrateapplication.h"
#include "base/stopsignals.h"
#include "host/chosenlink.h"

#ifdef Q_OS_WIN
#include "host/win/comlink.h"
#endif

#include <QGuiApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    // SIGINT and SIGTERM end the program through its normal shutdown, also once the
    // database client has installed its own handlers. Taken before any thread starts.
    TGeneralForm* strip = nullptr;
    base::StopSignals stop([&strip](int) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [&strip] {
                    if (strip)
                        strip->shutDown();
                    else
                        QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
    });
    ui::SprRateApplication application(argc, argv);
#ifdef Q_OS_WIN
    // COM on the user-interface thread for the terminal's toolkit: before the form that
    // holds its objects, and until after it has gone.
    comlink::Apartment com;
#endif
    // The program ends when the strip has closed (closed(), below), and only then: no
    // other window's closing decides it.
    application.setQuitOnLastWindowClosed(false);
    // The installed icon and desktop entry, so that the desktop's task list shows them.
    QGuiApplication::setDesktopFileName(QStringLiteral("sprrate"));
    if (const QIcon icon = QIcon::fromTheme(QStringLiteral("sprrate")); !icon.isNull())
        QGuiApplication::setWindowIcon(icon);

    // A second start while the program runs ends at once.
    ui::SingleInstance instance;
    if (instance.otherIsRunning())
        return 0;

    host::AutomationRegistry registry;
    TGeneralForm form(QCoreApplication::applicationFilePath(), registry, [&] {
        if (!instance.hold())
            std::exit(0); // another start got there in between
    });
    // The terminal link is made once the form has read the settings, which choose it and
    // give its time limit; nothing reaches the host before the first button.
    const base::Settings& settings = form.application().settings();
    host::TermLinkOptions options;
    options.timeout = std::chrono::seconds(settings.hostTimeLimit);
    host::registerChosenLink(registry, settings.hostLink, options);
    QObject::connect(&form, &TGeneralForm::closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    strip = &form;
    form.show();
    const int status = application.exec();
    strip = nullptr;
    return status;
}
