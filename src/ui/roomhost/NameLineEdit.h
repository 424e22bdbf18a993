#pragma once

#include <QLineEdit>

namespace vantrell::ui {

// A line edit for room names and passwords. Only the permitted characters get in, whether
// typed, pasted or dropped; copy, paste and the context menu are switched off, as players
// know them from the creation window.
class NameLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    NameLineEdit(int maxLength, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace vantrell::ui
