#include "Daoru.h"

Tdaoru::Tdaoru(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("daoru"));
    setWindowTitle(QStringLiteral("从EXCEL文件批量导入域名"));
}
