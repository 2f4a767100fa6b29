// The navigator bar over a table browser: First, Prior, Next, Last and Refresh. Buttons
// that cannot move the cursor any further are disabled, as are all but Refresh on an
// empty list; errors of a move go to the default error report.
#pragma once

#include "refdata/tablebrowser.h"

#include <QWidget>

class QToolButton;

namespace refdata::ui {

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    DBNavigator(TableBrowser& browser, const QString& name, QWidget* parent);

    QToolButton* nbFirst;
    QToolButton* nbPrior;
    QToolButton* nbNext;
    QToolButton* nbLast;
    QToolButton* nbRefresh;

private:
    QToolButton* addButton(const QString& name, const QString& hint, int glyph);
    void updateButtons();

    TableBrowser& m_browser;
};

} // namespace refdata::ui
