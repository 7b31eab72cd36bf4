#pragma once

#include "db/ListTotals.h"

#include <QWidget>

class QLabel;

// The portfolio's part of the status bar: "域名 N 个", "已过期 X 个", "30天内到期 Y 个" and
// "报价合计 Z 元" for the rows the list holds. The two expiry counts are links while they are
// above zero (by mouse, or Tab and Enter).
class PortfolioStatus : public QWidget
{
    Q_OBJECT
public:
    explicit PortfolioStatus(QWidget* parent = nullptr);

    void setTotals(const ListTotals& totals);
    const ListTotals& totals() const { return m_totals; }
    // While the rows are still coming in after the start: "正在读取域名……" in place of the counts, which
    // would only count the rows read so far. setTotals() shows the counts again.
    void setReading();

    // The texts as shown, without link markup.
    static QString countText(int count) { return QStringLiteral("域名 %1 个").arg(count); }
    static QString expiredText(int count) { return QStringLiteral("已过期 %1 个").arg(count); }
    static QString expiringText(int count) { return QStringLiteral("30天内到期 %1 个").arg(count); }
    static QString priceText(const ListTotals& totals);
    // The sum's tool tip: how many prices it holds, and how many were not numbers and were left out.
    static QString priceTip(const ListTotals& totals);
    // "已选 N 个", shown only while more than one domain is selected.
    void setSelectedCount(int count);
    static QString selectedText(int count) { return QStringLiteral("已选 %1 个").arg(count); }
    static QString readingText() { return QStringLiteral("正在读取域名……"); }

signals:
    void expiredClicked();  // 已过期 X 个
    void expiringClicked(); // 30天内到期 Y 个

private:
    QLabel* m_count;    // lblDomainCount
    QLabel* m_expired;  // lnkExpired
    QLabel* m_expiring; // lnkExpiring
    QLabel* m_price;    // lblPriceSum
    QLabel* m_selected; // lblSelected
    ListTotals m_totals;
};
