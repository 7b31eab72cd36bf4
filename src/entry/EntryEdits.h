#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>

// A key handler in the manner of the dialogs' KeyPress handlers: it sees each typed character and
// swallows it by setting it to QChar().
using KeyPressHandler = std::function<void(QChar& key)>;

// A one-line box of the domain dialogs. Typed characters (keys and input-method commits) go through the
// box's key handler; pasted or dropped text does not. With a limit, typing and pasting stop at that many
// characters as the user sees them (a paste is cut at the limit), and control characters can be left out;
// text set by the program is neither filtered nor limited.
class EntryLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit EntryLineEdit(QWidget* parent = nullptr);

    void setLimit(int characters); // 0: no limit
    int limit() const { return m_limit; }
    void setKeyPress(KeyPressHandler handler) { m_keyPress = std::move(handler); }
    // Control characters that the user types, pastes or drops are left out (text set by the program
    // keeps them).
    void setDropControls(bool drop) { m_dropControls = drop; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    class LimitValidator;
    friend class LimitValidator;
    QString typedThrough(const QString& typed) const;

    int m_limit = 0;
    bool m_dropControls = false;
    KeyPressHandler m_keyPress;
    QString m_before; // the text after the last finished change
};

// The multi-line notes box: plain text, Tab moves on, at most a given number of characters when typed or
// pasted (a line break counts as one). notes() gives the text with "\n" between lines, or what setNotes()
// wrote, exactly, as long as the user has not changed it.
class NotesEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit NotesEdit(QWidget* parent = nullptr);

    void setLimit(int characters) { m_limit = characters; } // 0: no limit
    int limit() const { return m_limit; }

    void setNotes(const QString& text);
    QString notes() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // The part of `inserted` that fits in place of the selection.
    QString fitting(const QString& inserted) const;

    int m_limit = 0;
    QString m_written;
};
