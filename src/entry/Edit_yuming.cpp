#include "Edit_yuming.h"

Tedit_yuming::Tedit_yuming(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("edit_yuming"));
    setWindowTitle(QStringLiteral("修改域名"));
}
