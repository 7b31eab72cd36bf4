#include "Fr_jiaoyi.h"

#include <QLabel>

TFr_jiaoyi::TFr_jiaoyi(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fr_jiaoyi1"));
    m_label1 = new QLabel(QStringLiteral("0"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->hide();
}

void TFr_jiaoyi::firstShow()
{
    if (m_label1->text() != QLatin1String("0"))
        return;
    m_label1->setText(QStringLiteral("1"));
}
