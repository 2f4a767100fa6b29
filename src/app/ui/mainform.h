// The main window: a strip of buttons that floats above the host terminal.
#pragma once

#include <QWidget>

class TGeneralForm : public QWidget {
    Q_OBJECT
public:
    explicit TGeneralForm(QWidget* parent = nullptr);
};
