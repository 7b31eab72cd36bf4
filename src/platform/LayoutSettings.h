#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The window layout the user left, kept per user apart from the program's own settings file:
// ~/.config/lanshu/layout.ini on Linux, %APPDATA%\lanshu\layout.ini on Windows. (Tests point it
// elsewhere with QSettings::setPath for the ini format and the user scope.) The panel shown is not part of
// it: every start begins on the welcome panel.
struct WindowLayout
{
    QByteArray geometry;     // the main window's size, place and maximised state
    QByteArray splitter;     // list and detail pane of the portfolio
    QList<int> columnWidths; // the domain list's columns, in column order; 0 where the list fits the width
    QStringList columns; // the fields of those columns (a1, a9 ...); empty in a file of an earlier version

    bool isEmpty() const
    {
        return geometry.isEmpty() && splitter.isEmpty() && columnWidths.isEmpty() && columns.isEmpty();
    }
};

class LayoutSettings
{
public:
    static WindowLayout load();
    // Empty on success, else why the file could not be written.
    static QString save(const WindowLayout& layout);
    static QString filePath();
};

// What the buyer's price list prints in its header, as the form "报价单信息" keeps it: per user,
// in the same file as the window layout, never in the portfolio or the program's settings file.
struct QuoteInfo
{
    QString seller; // name of the seller, a person or a firm
    QString phone;
    QString email;
    QString note; // one line of text for the buyer

    bool operator==(const QuoteInfo&) const = default;
};

// The user's choices for printing: the report chosen last and the price list's header.
class PrintSettings
{
public:
    static QuoteInfo quoteInfo();
    // Empty on success, else why the file could not be written.
    static QString saveQuoteInfo(const QuoteInfo& info);
    // The name of the report chosen last in the preview; empty before the first choice.
    static QString lastReport();
    static QString saveLastReport(const QString& name);
};

// The desktop reminders of expiring domains, as "提醒设置" keeps them: per user, in the same file as the
// window layout.
struct ReminderOptions
{
    bool enabled = true;
    QList<int> thresholds = {30, 7, 1}; // days ahead, each a group of its own
    bool priceFilter = false;           // count only the domains whose price is above minPrice
    int minPrice = 0;

    bool operator==(const ReminderOptions&) const = default;
};

class ReminderSettings
{
public:
    static ReminderOptions load();
    // Empty on success, else why the file could not be written.
    static QString save(const ReminderOptions& options);
    // The day a reminder of that group (its days ahead, or -1 for the expired ones) was last given.
    static QDate lastGiven(int group);
    static void setGiven(int group, const QDate& day);
};
