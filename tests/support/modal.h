// Answers the modal windows (message boxes, dialogs) a test makes the program open, from
// inside their event loops, as a person would: the test says what to do with each before
// the call that opens it.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace testsupport {

// Answers the modal dialogs in the order they come. Each expectation waits for the next
// modal widget of its type and runs its action on it; a modal widget that nobody answers
// for two seconds is closed and recorded, so a test never hangs on a stray message.
class ModalDriver {
public:
    ModalDriver()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(5);
    }

    template <typename W> void expect(std::function<void(W*)> action)
    {
        m_pending.push_back([action](QWidget* w) {
            auto* typed = qobject_cast<W*>(w);
            if (!typed)
                return false;
            action(typed);
            return true;
        });
    }
    // The next message box: its text is recorded, then it is answered with a button.
    void answer(QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        expect<QMessageBox>([this, button](QMessageBox* box) {
            messages.append(box->text());
            titles.append(box->windowTitle());
            icons.append(box->icon());
            box->button(button)->click();
        });
    }

    bool allAnswered() const { return m_pending.empty(); }

    QStringList messages;           // the texts of the answered message boxes
    QStringList titles;             // their titles
    QList<QMessageBox::Icon> icons; // and their icons
    QStringList strays;             // modal widgets nobody expected (message texts or titles)

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            m_since = nullptr;
            return;
        }
        if (!m_pending.empty() && w != m_done) {
            auto next = m_pending.front();
            m_pending.erase(m_pending.begin());
            if (next(w)) {
                m_done = w;
                m_since = nullptr;
                return;
            }
            m_pending.insert(m_pending.begin(), next);
        }
        if (w != m_since) {
            m_since = w;
            m_clock.start();
        } else if (m_clock.elapsed() > 2000) {
            auto* box = qobject_cast<QMessageBox*>(w);
            strays.append(box ? box->text() : w->windowTitle());
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            else
                w->close();
            m_since = nullptr;
        }
    }

    QTimer m_poll;
    std::vector<std::function<bool(QWidget*)>> m_pending;
    QWidget* m_done = nullptr; // the widget the last action ran on, while it still shows
    QWidget* m_since = nullptr;
    QElapsedTimer m_clock;
};

} // namespace testsupport
