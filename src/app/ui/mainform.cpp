#include "app/ui/mainform.h"

TGeneralForm::TGeneralForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("GeneralForm"));
    setWindowTitle(QStringLiteral("SPR rate v1.4"));
    setFixedSize(95, 22);
}
