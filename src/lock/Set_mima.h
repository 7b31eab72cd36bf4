#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class LockHost;
class PasswordEdit;
class TDataModule2;

// The password settings dialog, "设置密码": switches the start-up password on, changes it or
// switches it off. Every showing starts afresh from the settings row; every close reloads the
// settings, applies the lock rule and returns the main window to its welcome panel.
class Tset_mima : public QDialog
{
    Q_OBJECT
public:
    explicit Tset_mima(QWidget* parent = nullptr);
    ~Tset_mima() override;
    void setHost(LockHost* host, QWidget* lockGroup)
    {
        m_host = host;
        m_lockGroup = lockGroup;
    }
    void bindData(TDataModule2* data) { m_data = data; }

    // Handlers.
    void FormShow();                  // each showing
    void bsSkinCheckRadioBox1Click(); // each change of the check box
    void bsSkinButton1Click();        // 确  定, first-time mode
    void bsSkinButton3Click();        // 确  定, change mode
    void bsSkinButton2Click();        // 取  消
    void FormClose();                 // every close, whichever way

    QCheckBox* bsSkinCheckRadioBox1() const { return m_check; } // "启用登陆及锁定密码"
    QGroupBox* bsSkinGroupBox1() const { return m_group; }      // the password group
    QWidget* bsSkinPanel2() const { return m_oldRow; }          // old-password row
    QWidget* bsSkinPanel1() const { return m_newRows; }         // new-password rows
    PasswordEdit* bsSkinEdit1() const { return m_oldEdit; }     // old password
    PasswordEdit* bsSkinEdit4() const { return m_newEdit; }     // new password
    PasswordEdit* bsSkinEdit2() const { return m_repeatEdit; }  // new password once more
    QPushButton* bsSkinButton1() const { return m_ok1; }
    QPushButton* bsSkinButton3() const { return m_ok3; }
    QPushButton* bsSkinButton2() const { return m_cancel; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setChangeMode(bool change);
    // Sets or switches off the password as the check box says, then closes; stops at the first problem.
    void save();

    LockHost* m_host = nullptr;
    QWidget* m_lockGroup = nullptr;
    TDataModule2* m_data = nullptr;
    bool m_closing = false;

    QCheckBox* m_check = nullptr;
    QGroupBox* m_group = nullptr;
    QWidget* m_oldRow = nullptr;
    QWidget* m_newRows = nullptr;
    PasswordEdit* m_oldEdit = nullptr;
    PasswordEdit* m_newEdit = nullptr;
    PasswordEdit* m_repeatEdit = nullptr;
    QPushButton* m_ok1 = nullptr;
    QPushButton* m_ok3 = nullptr;
    QPushButton* m_cancel = nullptr;
};
