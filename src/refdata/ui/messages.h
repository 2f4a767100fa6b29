// The message boxes of the maintenance windows: a plain message, an OK/Cancel question,
// and the program's default error report (a box with the error's text, after which the
// event loop goes on) for errors that no handler of a window catches.
#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>
#include <utility>

namespace refdata::ui {

// A modal message with an OK button and no icon, titled with the program's name.
void showMessage(QWidget* parent, const QString& text);

// Asks with OK and Cancel; true on OK. Escape answers Cancel.
bool askOkCancel(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon,
                 QMessageBox::StandardButton defaultButton);

// The text an error shows: the message of this program's errors, what() otherwise.
QString errorText(const std::exception& e);

// The default error report of the program for one error.
void reportError(QWidget* parent, const QString& text);

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
        reportError(parent, QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace refdata::ui
