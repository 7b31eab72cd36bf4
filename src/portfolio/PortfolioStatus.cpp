#include "PortfolioStatus.h"

#include "ExpiryStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
QLabel* part(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A count that lists its domains when clicked, drawn in the colour of its kind; plain text at zero.
void setLinkText(QLabel* label, const QString& text, int count, const QColor& colour)
{
    if (count > 0) {
        label->setTextFormat(Qt::RichText);
        label->setText(QStringLiteral("<a href=\"list\" style=\"color:%1\">%2</a>")
                           .arg(colour.name(), text.toHtmlEscaped()));
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        label->setFocusPolicy(Qt::TabFocus);
        label->setCursor(Qt::PointingHandCursor);
    } else {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setFocusPolicy(Qt::NoFocus);
        label->unsetCursor();
    }
}
} // namespace

PortfolioStatus::PortfolioStatus(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("portfolioStatus"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 0, 0);
    row->setSpacing(12);
    m_count = part("lblDomainCount", this);
    m_expired = part("lnkExpired", this);
    m_expired->setToolTip(QStringLiteral("列出已过期的域名，最早到期的在前"));
    m_expiring = part("lnkExpiring", this);
    m_expiring->setToolTip(QStringLiteral("列出30天内到期的域名，最早到期的在前"));
    m_price = part("lblPriceSum", this);
    m_selected = part("lblSelected", this);
    m_selected->hide();
    for (QLabel* label : {m_count, m_expired, m_expiring, m_price, m_selected})
        row->addWidget(label);
    row->addStretch(1);
    connect(m_expired, &QLabel::linkActivated, this, &PortfolioStatus::expiredClicked);
    connect(m_expiring, &QLabel::linkActivated, this, &PortfolioStatus::expiringClicked);
    setTotals({});
}

QString PortfolioStatus::priceText(const ListTotals& totals)
{
    if (totals.priceOverflow)
        return QStringLiteral("报价合计 超出计算范围");
    return QStringLiteral("报价合计 %1 元").arg(ListTotals::groupedAmount(totals.priceCents));
}

void PortfolioStatus::setReading()
{
    m_totals = {};
    m_count->setText(readingText());
    for (QLabel* label : {m_expired, m_expiring, m_price})
        label->hide();
}

void PortfolioStatus::setTotals(const ListTotals& totals)
{
    m_totals = totals;
    for (QLabel* label : {m_expired, m_expiring, m_price})
        label->show();
    m_count->setText(countText(totals.count));
    setLinkText(m_expired, expiredText(totals.expired), totals.expired, expirystyle::kExpired);
    setLinkText(m_expiring, expiringText(totals.within30), totals.within30, expirystyle::kSoon);
    m_price->setText(priceText(totals));
    m_price->setToolTip(priceTip(totals));
}

QString PortfolioStatus::priceTip(const ListTotals& totals)
{
    const int left = totals.count - totals.priced;
    if (left <= 0)
        return QStringLiteral("合计 %1 个域名的报价").arg(totals.priced);
    return QStringLiteral("合计 %1 个域名的报价；另有 %2 个域名的报价不是数字（如“面议”或未填），未计入")
        .arg(totals.priced)
        .arg(left);
}

void PortfolioStatus::setSelectedCount(int count)
{
    m_selected->setText(selectedText(count));
    m_selected->setVisible(count > 1);
}
