#include "roomhost/NameLineEdit.h"

#include "roomhost/RoomChoices.h"

#include <QKeyEvent>
#include <QValidator>

namespace vantrell::ui {

namespace {
// Rejects any text holding a character outside the permitted set. As a validator it also
// covers text that arrives by drag and drop or an input method, not only by the keyboard.
class PermittedCharsValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (QChar c : input) {
            if (!roomhost::isPermittedNameChar(char32_t(c.unicode())))
                return Invalid;
        }
        return Acceptable;
    }
};
} // namespace

NameLineEdit::NameLineEdit(int maxLength, QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(maxLength);
    setValidator(new PermittedCharsValidator(this));
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
}

void NameLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Paste) ||
        event->matches(QKeySequence::Cut)) {
        event->ignore();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace vantrell::ui
