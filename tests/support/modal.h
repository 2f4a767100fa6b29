// Answers the next modal window (a message box, a dialog) from inside its event loop, as
// a person would: the test says what to do with it before the call that opens it.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Runs act on the next window that becomes modal, within a few seconds. Returns a flag
// that tells afterwards whether it ran.
inline std::shared_ptr<bool> onNextModal(std::function<void(QWidget*)> act,
                                         QWidget* notThis = nullptr)
{
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QPointer<QWidget> skip = notThis;
    QObject::connect(timer, &QTimer::timeout, [timer, act, ran, deadline, skip] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            *ran = true;
            act(modal);
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    return ran;
}

// The text of a message box, and a press of one of its buttons.
inline QString messageText(QWidget* w)
{
    auto* box = qobject_cast<QMessageBox*>(w);
    return box ? box->text() : QString();
}

inline void press(QWidget* w, QMessageBox::StandardButton button)
{
    if (auto* box = qobject_cast<QMessageBox*>(w))
        box->button(button)->click();
}

} // namespace testsupport
