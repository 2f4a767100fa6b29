// The program's message boxes: a plain message, an OK/Cancel question, and the default
// error report (a box with the error's text, after which the event loop goes on) for
// errors that no handler catches. Every window shows them the same way.
#pragma once

#include "base/errortext.h"

#include <QMessageBox>
#include <QString>

#include <exception>
#include <utility>

namespace base::ui {

// The caption of the program's message boxes.
inline constexpr QStringView MessageTitle = u"SPR Rate";

// A modal message with an OK button and no icon.
void showMessage(QWidget* parent, const QString& text);

// Asks with OK and Cancel; true on OK. Escape answers Cancel.
bool askOkCancel(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon,
                 QMessageBox::StandardButton defaultButton);

// The default error report of the program for one error.
void reportError(QWidget* parent, const QString& text);

// The text of an error that is no std::exception.
inline constexpr QStringView UnknownError = u"Unknown error.";

// Runs a handler; an error escaping it goes to the default error report instead of the
// event loop. Returns false when it failed.
template <typename F> bool runReported(QWidget* parent, F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception& e) {
        reportError(parent, errorText(e));
    } catch (...) {
        reportError(parent, UnknownError.toString());
    }
    return false;
}

} // namespace base::ui
