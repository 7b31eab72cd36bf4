#pragma once

#include <QDialog>

// The start-up guide, "岚枢入门".
class Thelp : public QDialog
{
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);
};
