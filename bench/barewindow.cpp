// The yardstick for start-bench: a bare Qt main window with a menu bar, nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    for (const char* title : {"&Action", "&Settings", "&Help"})
        window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
    window.resize(771, 516);
    window.show();
    return app.exec();
}
