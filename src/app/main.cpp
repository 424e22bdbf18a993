#include "TForm1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrell Alpha Version 3829"));
    vantrell::ui::TForm1 mainWindow;
    mainWindow.show();
    return QApplication::exec();
}
