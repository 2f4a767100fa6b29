#include "base/ui/messages.h"

namespace base::ui {

void showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, MessageTitle.toString(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("message"));
    box.exec();
}

bool askOkCancel(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon,
                 QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void reportError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, MessageTitle.toString(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("error"));
    box.exec();
}

} // namespace base::ui
