#pragma once

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;
class LockHost;
class TDataModule2;

// The welcome panel: pictures, the news box and the lock group.
class TFr_wel : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_wel(QWidget* parent = nullptr);
    void setHost(LockHost* host) { m_host = host; }
    void bindData(TDataModule2* data) { m_data = data; }

    QGroupBox* lockGroup() const { return m_lockGroup; } // bsSkinGroupBox1, "软件已锁定"
    QGroupBox* newsBox() const { return m_newsBox; }     // bsSkinGroupBox2, "资讯"

    // The unlock button's handler.
    void bsSkinButton1Click();

private:
    LockHost* m_host = nullptr;
    TDataModule2* m_data = nullptr;
    QGroupBox* m_lockGroup = nullptr;
    QGroupBox* m_newsBox = nullptr;
    QLineEdit* m_passEdit = nullptr;   // Pass_edit
    QPushButton* m_unlock = nullptr;   // bsSkinButton1, "  解  锁"
};
