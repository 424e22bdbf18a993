#include "ui/common/TypingFilter.h"

#include "base/roomhost/RoomChoices.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace vantrell::ui {

TypingFilter::TypingFilter(QLineEdit* edit, Allowed allowed) : QObject(edit), m_allowed(allowed)
{
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setAcceptDrops(false);
    edit->setDragEnabled(false);
    edit->installEventFilter(this);
}

void TypingFilter::install(QLineEdit* edit, Allowed allowed)
{
    new TypingFilter(edit, allowed);
}

bool TypingFilter::accepts(Allowed allowed, QChar c)
{
    const char16_t u = c.unicode();
    const bool digit = u >= u'0' && u <= u'9';
    if (allowed == Allowed::Digits)
        return digit;
    if (allowed == Allowed::RoomNameCharacters)
        return roomhost::isPermittedNameChar(char32_t(u));
    const bool letter = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
    return digit || letter || u == u'(' || u == u')' || u == u'*' || u == u'-' || u == u'[' ||
           u == u']' || u == u'_' || u == u'{' || u == u'}';
}

bool TypingFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) ||
            key->matches(QKeySequence::Paste)) {
            // Swallowing the override as well keeps a window shortcut from taking the key.
            key->accept();
            return true;
        }
        if (event->type() == QEvent::ShortcutOverride)
            return false;
        if (key->key() == Qt::Key_Backspace)
            return false;
        // Control with a letter (select all, undo...) types a control character, which is
        // not in the allowed set either; Control with an arrow only moves the caret.
        if ((key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A &&
            key->key() <= Qt::Key_Z)
            return true;
        const QString text = key->text();
        if (text.isEmpty())
            return false; // arrows, Delete, Home, End
        for (QChar c : text) {
            if (!accepts(m_allowed, c))
                return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // X11 pastes the selection on a middle click.
        return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace vantrell::ui
