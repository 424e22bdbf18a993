#include "TForm1.h"

namespace vantrell::ui {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vantrell Alpha Version 3829"));
    resize(771, 516);
}

} // namespace vantrell::ui
