#pragma once

#include <QMainWindow>

namespace vantrell::ui {

// The main window: the lobby.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
};

} // namespace vantrell::ui
