#include "Fr_gongju.h"

#include <QLabel>

TFr_gongju::TFr_gongju(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fr_gongju1"));
    m_label1 = new QLabel(QStringLiteral("0"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->hide();
}

void TFr_gongju::firstShow()
{
    if (m_label1->text() != QLatin1String("0"))
        return;
    m_label1->setText(QStringLiteral("1"));
}
