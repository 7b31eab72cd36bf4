#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;
class LockHost;
class PasswordEdit;
class TDataModule2;
class Tset_mima;
class WebBrowser;

// The welcome panel: pictures, the news box and the lock group, in which the start-up password
// is typed to unlock the program.
class TFr_wel : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_wel(QWidget* parent = nullptr);
    void setHost(LockHost* host) { m_host = host; }
    // The password dialog applies the lock rule to this panel's lock group when it closes.
    void attachPasswordDialog(Tset_mima* dialog);
    // The lock rule (ApplyLockRule) with the stored lock flag ub2, on this panel's lock group.
    void applyLockRule();
    void bindData(TDataModule2* data) { m_data = data; }

    QGroupBox* lockGroup() const { return m_lockGroup; } // bsSkinGroupBox1, "软件已锁定"
    QGroupBox* newsBox() const { return m_newsBox; }     // bsSkinGroupBox2, "资讯"
    WebBrowser* WebBrowser1() const { return m_news; }   // the news page, filling the news box
    PasswordEdit* Pass_edit() const { return m_passEdit; }
    QPushButton* unlockButton() const { return m_unlock; } // bsSkinButton1, "  解  锁"

    // Unlock: compares the password edit with the stored password ub1 exactly; on a match enables
    // the navigation bar and goes to the portfolio, else reports the wrong password and keeps the
    // program locked. The edit is cleared last.
    void bsSkinButton1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LockHost* m_host = nullptr;
    TDataModule2* m_data = nullptr;
    QGroupBox* m_lockGroup = nullptr;
    QGroupBox* m_newsBox = nullptr;
    WebBrowser* m_news = nullptr;       // WebBrowser1
    PasswordEdit* m_passEdit = nullptr; // Pass_edit
    QPushButton* m_unlock = nullptr;    // bsSkinButton1, "  解  锁"
};
