#include "refdata/ui/editdialog.h"

#include <QLabel>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace refdata::ui {

QFont maintenanceFont()
{
    QFont f(u"Sans Serif"_s, 8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void chainTabOrder(std::initializer_list<QWidget*> controls)
{
    QWidget* previous = nullptr;
    for (QWidget* w : controls) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

EditDialog::EditDialog(QWidget* parent, const QString& name, const QString& title, QSize size,
                       QPoint position, const QString& cancelCaption)
    : QDialog(parent), m_baseTitle(title)
{
    setObjectName(name);
    setWindowTitle(title);
    setFont(maintenanceFont());
    setFixedSize(size);
    move(position);

    bSave = new QPushButton(u"Save"_s, this);
    bSave->setObjectName(u"bSave"_s);
    bSave->setDefault(true);
    bCancel = new QPushButton(cancelCaption, this);
    bCancel->setObjectName(u"bCancel"_s);
    bCancel->setAutoDefault(false);
    connect(bSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void EditDialog::placeField(QWidget* field, const QString& label, int x, int y, int width)
{
    auto* l = new QLabel(label, this);
    l->setGeometry(x, y - 16, width + 8, 15);
    l->setBuddy(field);
    field->setGeometry(x, y, width, 21);
}

void EditDialog::placeButtons(int right, int y)
{
    bCancel->setGeometry(right - 75, y, 75, 25);
    bSave->setGeometry(right - 75 - 8 - 75, y, 75, 25);
}

EditDialog::TitleSuffix::TitleSuffix(EditDialog& dialog, const QString& suffix) : m_dialog(dialog)
{
    m_dialog.setWindowTitle(m_dialog.m_baseTitle + suffix);
}

EditDialog::TitleSuffix::~TitleSuffix()
{
    m_dialog.setWindowTitle(m_dialog.m_baseTitle);
}

} // namespace refdata::ui
