#pragma once

#include <QDialog>

class TDataModule2;

// "修改域名"
class Tedit_yuming : public QDialog
{
    Q_OBJECT
public:
    explicit Tedit_yuming(QWidget* parent = nullptr);
    void bindData(TDataModule2* data) { m_data = data; }

private:
    TDataModule2* m_data = nullptr;
};
