#include "PasswordEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QValidator>

namespace {
// Refuses any text longer than the limit. The edit undoes a refused change as a whole, so a paste that
// would not fit inserts nothing (a length limit alone would insert the part that fits).
class LengthLimit : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& text, int&) const override
    {
        return text.size() <= PasswordEdit::kMaxLength ? Acceptable : Invalid;
    }
};

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

PasswordEdit::PasswordEdit(QWidget* parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    setValidator(new LengthLimit(this));
    // A drop would be one more way of pasting; a password field takes none.
    setAcceptDrops(false);
}

bool PasswordEdit::passesKeyFilter(QChar c)
{
    return c == QChar(8) || c == QChar(13) || isDigit(c);
}

void PasswordEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }
    // The edit's own shortcuts: paste (checked by the length limit), select all, undo, redo.
    for (const auto key :
         {QKeySequence::Paste, QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo}) {
        if (event->matches(key)) {
            QLineEdit::keyPressEvent(event);
            return;
        }
    }
    const QString typed = event->text();
    // Keys without a character (caret moves, Delete) and the control characters of shortcuts (paste,
    // select all, undo) go on as usual; a typed character must pass the key filter.
    if (!typed.isEmpty() && typed.front().category() != QChar::Other_Control &&
        !(typed.size() == 1 && passesKeyFilter(typed.front()))) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void PasswordEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Characters committed by an input method are typed characters too.
    const QString commit = event->commitString();
    QString kept;
    for (const QChar c : commit) {
        if (isDigit(c))
            kept.append(c);
    }
    if (kept == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}
