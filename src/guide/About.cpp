#include "About.h"

Tabout::Tabout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(497, 267);
}
