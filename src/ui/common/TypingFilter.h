#pragma once

#include <QObject>

class QLineEdit;

namespace vantrell::ui {

// Restricts what can be typed into a line edit: printable characters outside the allowed
// set are dropped, Backspace and the editing keys (arrows, Delete, Home, End) still work,
// and copy, cut and paste are refused in every form (keys, context menu, middle click,
// drag and drop). Text set by the program is not filtered.
class TypingFilter : public QObject
{
    Q_OBJECT

public:
    enum class Allowed
    {
        NicknameCharacters, // ( ) * - 0-9 A-Z a-z [ ] _ { }
        Digits,
        // A-Z a-z 0-9 space ( ) - . / : @ [ \ ] _ { }: room names and room passwords
        RoomNameCharacters,
    };

    // Installs itself on the edit, which becomes its parent.
    static void install(QLineEdit* edit, Allowed allowed);

    static bool accepts(Allowed allowed, QChar c);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TypingFilter(QLineEdit* edit, Allowed allowed);

    Allowed m_allowed;
};

} // namespace vantrell::ui
