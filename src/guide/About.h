#pragma once

#include <QDialog>

// The About dialog, "关于".
class Tabout : public QDialog
{
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);
};
