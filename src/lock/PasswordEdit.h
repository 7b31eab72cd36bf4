#pragma once

#include <QLineEdit>

// A password input: masked, at most 10 characters. Typed characters go through the key filter
// (Backspace, Enter and the digits 0 to 9 pass; every other typed character is discarded). Any change
// that would make the text longer than 10 characters is refused whole: a digit typed at the limit, and a
// paste (keys, context menu, middle button), which is otherwise not filtered.
class PasswordEdit : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int kMaxLength = 10;

    explicit PasswordEdit(QWidget* parent = nullptr);

    // The key filter for one typed character.
    static bool passesKeyFilter(QChar c);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
};
