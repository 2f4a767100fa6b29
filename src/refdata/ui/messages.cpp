#include "refdata/ui/messages.h"

#include "rates/formula/formulaerrors.h"
#include "refdata/dberror.h"

#include <QGuiApplication>

namespace refdata::ui {

void showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
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

QString errorText(const std::exception& e)
{
    if (const auto* r = dynamic_cast<const RefDataError*>(&e))
        return r->message();
    if (const auto* f = dynamic_cast<const formula::FormulaError*>(&e))
        return f->message();
    return QString::fromUtf8(e.what());
}

void reportError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace refdata::ui
