#pragma once

#include <QDialog>

class LockHost;
class TDataModule2;

// The password settings dialog, "设置密码".
class Tset_mima : public QDialog
{
    Q_OBJECT
public:
    explicit Tset_mima(QWidget* parent = nullptr);
    void setHost(LockHost* host, QWidget* lockGroup)
    {
        m_host = host;
        m_lockGroup = lockGroup;
    }
    void bindData(TDataModule2* data) { m_data = data; }

private:
    LockHost* m_host = nullptr;
    QWidget* m_lockGroup = nullptr;
    TDataModule2* m_data = nullptr;
};
