#include "LayoutSettings.h"

#include <QSettings>

#define LAYOUT_FILE                                                                                          \
    QSettings::IniFormat, QSettings::UserScope, QStringLiteral("lanshu"), QStringLiteral("layout")

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
    layout.panel = s.value(QStringLiteral("window/panel")).toString();
    return layout;
}

QString LayoutSettings::save(const WindowLayout& layout)
{
    QSettings s(LAYOUT_FILE);
    s.setValue(QStringLiteral("window/geometry"), layout.geometry);
    s.setValue(QStringLiteral("window/panel"), layout.panel);
    s.setValue(QStringLiteral("portfolio/splitter"), layout.splitter);
    QStringList widths;
    for (int w : layout.columnWidths)
        widths.append(QString::number(w));
    s.setValue(QStringLiteral("portfolio/columns"), widths.join(QLatin1Char(',')));
    s.sync();
    return s.status() == QSettings::NoError ? QString()
                                            : QStringLiteral("无法保存窗口布局“%1”").arg(s.fileName());
}
