#include "pricing/ui/ticketimage.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace {

// Read-only, out of the Tab order (a click may still select text to copy), on the
// colour of a button face.
void makeDisplayOnly(QWidget* field)
{
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette p = field->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    field->setPalette(p);
}

QLineEdit* lineField(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(geometry);
    e->setReadOnly(true);
    makeDisplayOnly(e);
    return e;
}

void label(QWidget* parent, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    l->adjustSize();
}

} // namespace

TdlgTicketImage::TdlgTicketImage(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setObjectName(u"dlgTicketImage"_s);
    setWindowTitle(u"TICKET IMAGE DISPLAY (estimated calculation - not for ticketing)"_s);
    setFixedSize(570, 170);
    // The fixed geometry holds its amounts (RUB2831.00XT in an 89 pixel box) in a small
    // font only: 11 pixels, narrowed where the family has a narrower face.
    QFont small = font();
    small.setPixelSize(11);
    small.setStretch(QFont::SemiCondensed);
    setFont(small);

    bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 553, 121);

    label(this, u"FARE:"_s, 16, 16);
    eFare = lineField(this, u"eFare"_s, {16, 32, 121, 21});
    label(this, u"EQUIV:"_s, 144, 16);
    eEquiv = lineField(this, u"eEquiv"_s, {144, 32, 121, 21});
    label(this, u"TAX1:"_s, 272, 16);
    eTax1 = lineField(this, u"eTax1"_s, {272, 32, 89, 21});
    label(this, u"TAX2:"_s, 368, 16);
    eTax2 = lineField(this, u"eTax2"_s, {368, 32, 89, 21});
    label(this, u"TAX3:"_s, 464, 16);
    eTax3 = lineField(this, u"eTax3"_s, {464, 32, 89, 21});
    label(this, u"TOTAL:"_s, 16, 56);
    eTotal = lineField(this, u"eTotal"_s, {16, 72, 121, 21});
    label(this, u"FARE STRING:"_s, 144, 56);

    eFareString = new QPlainTextEdit(this);
    eFareString->setObjectName(u"eFareString"_s);
    eFareString->setGeometry(144, 72, 409, 46);
    eFareString->setReadOnly(true);
    eFareString->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    eFareString->setTabChangesFocus(true);
    makeDisplayOnly(eFareString);

    bDialogClose = new QPushButton(u"Close"_s, this);
    bDialogClose->setObjectName(u"bDialogClose"_s);
    bDialogClose->setGeometry(488, 136, 75, 25);
    bDialogClose->setDefault(true);
    // Escape closes the dialog through QDialog's own cancel key.
    connect(bDialogClose, &QPushButton::clicked, this, &TdlgTicketImage::bDialogCloseClick);
}

void TdlgTicketImage::setFields(const base::TicketImage& f)
{
    eFare->setText(f.eFare);
    eEquiv->setText(f.eEquiv);
    eTax1->setText(f.eTax1);
    eTax2->setText(f.eTax2);
    eTax3->setText(f.eTax3);
    eTotal->setText(f.eTotal);
    eFareString->setPlainText(f.eFareString);
    // Long amounts show from their start, as typed.
    for (QLineEdit* e : {eFare, eEquiv, eTax1, eTax2, eTax3, eTotal})
        e->setCursorPosition(0);
}

void TdlgTicketImage::showTicketImage(const base::TicketImage& fields)
{
    setFields(fields);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    bDialogClose->setFocus();
    exec();
}

void TdlgTicketImage::bDialogCloseClick()
{
    reject();
}
