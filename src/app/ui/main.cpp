// The program entry: one main window above the host terminal.
#include "app/ui/mainform.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TGeneralForm form;
    form.show();
    return app.exec();
}
