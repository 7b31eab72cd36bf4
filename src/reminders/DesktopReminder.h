#pragma once

#include "platform/LayoutSettings.h"
#include "platform/Result.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>

class Connection;

// The reminder of expiring domains at the desktop: how many domains of the portfolio expire within each of
// the user's thresholds (and how many have expired), told through the desktop's notification service, at
// most once a day for each group. Without such a service the text goes to the window's status area
// instead. Knows nothing of widgets.
namespace reminders {

// The group of the expired domains (the others are named by their days ahead).
inline constexpr int kExpired = -1;

struct Group
{
    int days = kExpired; // a threshold, or kExpired
    int count = 0;
};

// The domains of the file by group: each domain that has not expired in the smallest threshold whose days
// ahead it falls within (from today on), the expired ones apart; the thresholds from the smallest, the
// expired last. Groups without domains are left out; so are domains whose expiry date cannot be read and,
// with the price filter on, those whose price is not a number above the minimum.
Expected<QList<Group>> count(Connection* connection, const QDate& today, const ReminderOptions& options);

// "3 个域名 7 天内到期，12 个已过期"; empty for no groups.
QString text(const QList<Group>& groups);

} // namespace reminders

class DesktopReminder : public QObject
{
    Q_OBJECT
public:
    // databasePath: the portfolio's file, read on a connection of the reminder's own.
    explicit DesktopReminder(const QString& databasePath, QObject* parent = nullptr);

    // Counts the domains on a worker thread (a large portfolio takes a while to read), then gives today's
    // reminder of the groups not reminded of today (per the user's settings) and tells it by reminded().
    // The notification goes out without waiting for the service's answer.
    void remind();

    // --- test seam --- In MessageBox test mode the reminder goes only to the bus at this address (a bus
    // the test starts); without one it is never sent and the status area gets the text.
    static void setTestBus(const QString& address);

signals:
    // A reminder was worked out: its text, empty when there was nothing to tell.
    void reminded(const QString& text);
    // The text for the status area: there is no notification service (told once per reminder).
    void notShown(const QString& text);
    // The user chose the notification's action: show the domains expiring soon, or the expired ones.
    void openRequested(bool expired);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    // Sends the groups not told today; returns the text.
    QString give(QList<reminders::Group> groups, const QDate& today);

    QString m_databasePath;
    bool m_running = false;
    bool m_again = false; // asked again while counting
    uint m_lastId = 0;
    bool m_lastOnlyExpired = false;
    bool m_listening = false;
};
