#include "EntryEdits.h"

#include "InputRules.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBoundaryFinder>
#include <QValidator>
#include <algorithm>
#include <limits>

namespace {
// A key with Ctrl or Meta (and without Alt, which AltGr adds) is a shortcut, not a typed character.
bool isShortcut(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    return (m & (Qt::ControlModifier | Qt::MetaModifier)) && !(m & Qt::AltModifier);
}

// A typed key whose characters the box changed into `kept`: inserts what is left and takes the key.
// False when nothing changed and the key goes on as usual.
bool typedChanged(QKeyEvent* event, const QString& kept, const std::function<void(const QString&)>& insert)
{
    if (kept == event->text())
        return false;
    if (!kept.isEmpty())
        insert(kept);
    event->accept();
    return true;
}

// An input-method event with its commit string replaced.
void sendCommit(QInputMethodEvent* event, const QString& commit,
                const std::function<void(QInputMethodEvent*)>& base)
{
    if (commit == event->commitString()) {
        base(event);
        return;
    }
    QInputMethodEvent changed(event->preeditString(), event->attributes());
    changed.setCommitString(commit, event->replacementStart(), event->replacementLength());
    base(&changed);
}
} // namespace

// Holds a user's change to what fits: whatever the change inserted (typing, a paste, a drop, an
// input-method commit) is cut at the limit. Text set by the program leaves the box unmodified and passes.
class EntryLineEdit::LimitValidator : public QValidator
{
public:
    explicit LimitValidator(EntryLineEdit* edit) : QValidator(edit), m_edit(edit) {}

    State validate(QString& input, int& pos) const override
    {
        const int limit = m_edit->m_limit;
        if (!m_edit->isModified())
            return Acceptable;
        const bool overLimit = limit > 0 && inputrules::characterCount(input) > limit;
        const bool controls =
            m_edit->m_dropControls && std::any_of(input.cbegin(), input.cend(), inputrules::isControl);
        if (!overLimit && !controls)
            return Acceptable;
        // What the change inserted: the text between the part it kept at the front and the part it kept
        // behind the caret, with both seams on character boundaries.
        const QString& before = m_edit->m_before;
        const int cursor = std::clamp(pos, 0, int(input.size()));
        int suffix = 0;
        const int maxSuffix = std::min(int(before.size()), int(input.size()) - cursor);
        while (suffix < maxSuffix &&
               before.at(before.size() - 1 - suffix) == input.at(input.size() - 1 - suffix))
            ++suffix;
        int prefix = 0;
        const int maxPrefix = std::min(before.size(), input.size()) - suffix;
        while (prefix < maxPrefix && before.at(prefix) == input.at(prefix))
            ++prefix;
        int tailStart = int(input.size()) - suffix;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, input);
        while (prefix > 0 && !(finder.setPosition(prefix), finder.isAtBoundary()))
            --prefix;
        while (tailStart < input.size() && !(finder.setPosition(tailStart), finder.isAtBoundary()))
            ++tailStart;
        const QString head = input.left(prefix);
        const QString inserted = input.mid(prefix, tailStart - prefix);
        const QString tail = input.mid(tailStart);
        const QString clean = m_edit->m_dropControls ? inputrules::withoutControls(inserted) : inserted;
        const QString kept = inputrules::fittingPart(head, clean, tail, limit);
        if (kept == inserted)
            return Acceptable; // nothing new beyond the limit (text was removed), nothing to leave out
        input = head + kept + tail;
        pos = int(head.size() + kept.size());
        return Acceptable;
    }

private:
    EntryLineEdit* m_edit;
};

EntryLineEdit::EntryLineEdit(QWidget* parent) : QLineEdit(parent)
{
    // Lengths are held by the limit in characters; the box itself takes text of any length.
    setMaxLength(std::numeric_limits<int>::max());
    setValidator(new LimitValidator(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

void EntryLineEdit::setLimit(int characters)
{
    m_limit = std::max(0, characters);
}

QString EntryLineEdit::typedThrough(const QString& typed) const
{
    if (!m_keyPress)
        return typed;
    QString kept;
    for (QChar key : typed) {
        m_keyPress(key);
        if (!key.isNull())
            kept.append(key);
    }
    return kept;
}

void EntryLineEdit::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    if (!typed.isEmpty() && !isShortcut(event) &&
        typedChanged(event, typedThrough(typed), [this](const QString& kept) { insert(kept); }))
        return;
    QLineEdit::keyPressEvent(event);
}

void EntryLineEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Characters committed by an input method are typed characters too.
    sendCommit(event, typedThrough(event->commitString()),
               [this](QInputMethodEvent* e) { QLineEdit::inputMethodEvent(e); });
}

NotesEdit::NotesEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
}

void NotesEdit::setNotes(const QString& text)
{
    m_written = text;
    setPlainText(text);
    document()->setModified(false);
}

QString NotesEdit::notes() const
{
    if (!document()->isModified())
        return m_written;
    // The raw text keeps every character as it stands; only the breaks between lines are written as "\n".
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString NotesEdit::fitting(const QString& inserted) const
{
    if (m_limit <= 0)
        return inserted;
    const QTextCursor cursor = textCursor();
    const QString raw = document()->toRawText();
    return inputrules::fittingPart(raw.left(cursor.selectionStart()), inserted,
                                   raw.mid(cursor.selectionEnd()), m_limit);
}

void NotesEdit::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // Every Enter, with Shift too, starts a new line; it counts as one character.
        if (!fitting(QStringLiteral("\n")).isEmpty())
            insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !inputrules::isControl(typed.front()) && !isShortcut(event) && !isReadOnly() &&
        typedChanged(event, fitting(typed), [this](const QString& kept) { insertPlainText(kept); }))
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void NotesEdit::inputMethodEvent(QInputMethodEvent* event)
{
    sendCommit(event, fitting(event->commitString()),
               [this](QInputMethodEvent* e) { QPlainTextEdit::inputMethodEvent(e); });
}

void NotesEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText())
        return;
    const QString kept = fitting(source->text());
    if (!kept.isEmpty()) {
        insertPlainText(kept);
        ensureCursorVisible();
    }
}
