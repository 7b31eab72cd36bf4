#pragma once

#include <QDialog>

class TDataModule2;

// "从EXCEL文件批量导入域名"
class Tdaoru : public QDialog
{
    Q_OBJECT
public:
    explicit Tdaoru(QWidget* parent = nullptr);
    void bindData(TDataModule2* data) { m_data = data; }

private:
    TDataModule2* m_data = nullptr;
};
