#include "New_yuming.h"

Tnew_yuming::Tnew_yuming(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("new_yuming"));
    setWindowTitle(QStringLiteral("添加新域名"));
}
