#include "Set_mima.h"

Tset_mima::Tset_mima(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("set_mima"));
    setWindowTitle(QStringLiteral("设置密码"));
}
