#include "Help.h"

Thelp::Thelp(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("岚枢入门"));
    setFixedSize(634, 389);
}
