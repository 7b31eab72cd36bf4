#pragma once

#include <QDialog>

class TDataModule2;

// "添加新域名"
class Tnew_yuming : public QDialog
{
    Q_OBJECT
public:
    explicit Tnew_yuming(QWidget* parent = nullptr);
    void bindData(TDataModule2* data) { m_data = data; }

private:
    TDataModule2* m_data = nullptr;
};
