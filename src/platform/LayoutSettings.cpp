#include "LayoutSettings.h"

#include <QSettings>

#include <algorithm>
#include <functional>

#define LAYOUT_FILE                                                                                          \
    QSettings::IniFormat, QSettings::UserScope, QStringLiteral("lanshu"), QStringLiteral("layout")

namespace {
// Writes the settings out; empty on success, else a message naming what and where.
QString written(QSettings& s, const QString& what)
{
    s.sync();
    return s.status() == QSettings::NoError ? QString()
                                            : QStringLiteral("无法保存%1“%2”").arg(what, s.fileName());
}
} // namespace

QString LayoutSettings::filePath()
{
    return QSettings(LAYOUT_FILE).fileName();
}

WindowLayout LayoutSettings::load()
{
    QSettings s(LAYOUT_FILE);
    WindowLayout layout;
    layout.geometry = s.value(QStringLiteral("window/geometry")).toByteArray();
    layout.splitter = s.value(QStringLiteral("portfolio/splitter")).toByteArray();
    const QStringList widths =
        s.value(QStringLiteral("portfolio/columns")).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& w : widths) {
        bool ok = false;
        const int width = w.trimmed().toInt(&ok);
        if (!ok) {
            layout.columnWidths.clear(); // a damaged list is no list
            break;
        }
        layout.columnWidths.append(width);
    }
    layout.columns =
        s.value(QStringLiteral("portfolio/shown")).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    return layout;
}

QString LayoutSettings::save(const WindowLayout& layout)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("window/geometry"), layout.geometry);
    s.remove(QStringLiteral("window/panel")); // kept by earlier versions, no longer read
    s.setValue(QStringLiteral("portfolio/splitter"), layout.splitter);
    QStringList widths;
    for (int w : layout.columnWidths)
        widths.append(QString::number(w));
    s.setValue(QStringLiteral("portfolio/columns"), widths.join(QLatin1Char(',')));
    s.setValue(QStringLiteral("portfolio/shown"), layout.columns.join(QLatin1Char(',')));
    return written(s, QStringLiteral("窗口布局"));
}

QuoteInfo PrintSettings::quoteInfo()
{
    QSettings s(LAYOUT_FILE);
    return {
        s.value(QStringLiteral("quote/seller")).toString(), s.value(QStringLiteral("quote/phone")).toString(),
        s.value(QStringLiteral("quote/email")).toString(), s.value(QStringLiteral("quote/note")).toString()};
}

QString PrintSettings::saveQuoteInfo(const QuoteInfo& info)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("quote/seller"), info.seller);
    s.setValue(QStringLiteral("quote/phone"), info.phone);
    s.setValue(QStringLiteral("quote/email"), info.email);
    s.setValue(QStringLiteral("quote/note"), info.note);
    return written(s, QStringLiteral("报价单信息"));
}

QString PrintSettings::lastReport()
{
    return QSettings(LAYOUT_FILE).value(QStringLiteral("print/report")).toString();
}

QString PrintSettings::saveLastReport(const QString& name)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("print/report"), name);
    return written(s, QStringLiteral("所选报表"));
}

ReminderOptions ReminderSettings::load()
{
    QSettings s(LAYOUT_FILE);
    ReminderOptions options;
    options.enabled = s.value(QStringLiteral("reminders/enabled"), true).toBool();
    if (s.contains(QStringLiteral("reminders/thresholds"))) {
        QList<int> thresholds;
        for (const QString& t : s.value(QStringLiteral("reminders/thresholds"))
                                    .toString()
                                    .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int days = t.trimmed().toInt(&ok);
            if (ok && days >= 0 && days <= 3650 && !thresholds.contains(days))
                thresholds.append(days);
        }
        std::sort(thresholds.begin(), thresholds.end(), std::greater<int>());
        options.thresholds = thresholds; // a damaged list keeps only its readable days
    }
    options.priceFilter = s.value(QStringLiteral("reminders/priceFilter"), false).toBool();
    options.minPrice = std::max(0, s.value(QStringLiteral("reminders/minPrice"), 0).toInt());
    return options;
}

QString ReminderSettings::save(const ReminderOptions& options)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("reminders/enabled"), options.enabled);
    QStringList thresholds;
    for (const int days : options.thresholds)
        thresholds.append(QString::number(days));
    s.setValue(QStringLiteral("reminders/thresholds"), thresholds.join(QLatin1Char(',')));
    s.setValue(QStringLiteral("reminders/priceFilter"), options.priceFilter);
    s.setValue(QStringLiteral("reminders/minPrice"), options.minPrice);
    return written(s, QStringLiteral("提醒设置"));
}

QDate ReminderSettings::lastGiven(int group)
{
    return QDate::fromString(
        QSettings(LAYOUT_FILE).value(QStringLiteral("reminders/given%1").arg(group)).toString(), Qt::ISODate);
}

void ReminderSettings::setGiven(int group, const QDate& day)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("reminders/given%1").arg(group), day.toString(Qt::ISODate));
}
