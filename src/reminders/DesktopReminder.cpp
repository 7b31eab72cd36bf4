#include "DesktopReminder.h"

#include "db/Connection.h"
#include "db/Expiry.h"
#include "db/ListTotals.h"
#include "db/Statement.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <sqlite3.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMap>
#include <QThread>

#include <memory>

#include <algorithm>

namespace reminders {

Expected<QList<Group>> count(Connection* connection, const QDate& today, const ReminderOptions& options)
{
    QList<int> thresholds = options.thresholds;
    std::sort(thresholds.begin(), thresholds.end());
    const expiry::Day now = expiry::dayOf(today);
    QMap<int, int> counts;
    const Expected<sqlite3_stmt*> prepared =
        Statement::prepare(connection, QStringLiteral("select a6, a9 from tt_a"), {});
    if (!prepared.ok())
        return prepared.result();
    sqlite3_stmt* stmt = prepared.value();
    auto text = [stmt](int column) {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return data ? std::string_view(data, size_t(sqlite3_column_bytes(stmt, column))) : std::string_view();
    };
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const expiry::Day day = expiry::parse(text(0));
        if (day == expiry::kUnreadable)
            continue;
        // Prices read as the totals read them; one that is not a number ("面议") never counts here.
        if (options.priceFilter) {
            const qint64 cents = ListTotals::priceCentsOf(text(1));
            if (cents < 0 || cents <= qint64(options.minPrice) * 100)
                continue;
        }
        const expiry::Day left = day - now;
        if (left < 0) {
            ++counts[kExpired];
            continue;
        }
        for (const int days : thresholds) {
            if (left <= days) {
                ++counts[days];
                break;
            }
        }
    }
    const QString error = rc != SQLITE_DONE ? connection->lastError() : QString();
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return Result::failure(error);
    QList<Group> groups;
    for (const int days : thresholds)
        if (counts.value(days) > 0)
            groups.append({days, counts.value(days)});
    if (counts.value(kExpired) > 0)
        groups.append({kExpired, counts.value(kExpired)});
    return groups;
}

QString text(const QList<Group>& groups)
{
    QStringList parts;
    for (const Group& group : groups) {
        const QString when = group.days == kExpired ? QStringLiteral("已过期")
                             : group.days == 0      ? QStringLiteral("今天到期")
                                                    : QStringLiteral(" %1 天内到期").arg(group.days);
        parts.append(QStringLiteral("%1 个%2%3")
                         .arg(group.count)
                         .arg(parts.isEmpty() ? QStringLiteral("域名") : QString(), when));
    }
    return parts.join(QStringLiteral("，"));
}

} // namespace reminders

namespace {
QString g_testBus;
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DesktopReminder::DesktopReminder(const QString& databasePath, QObject* parent)
    : QObject(parent), m_databasePath(databasePath)
{
}

void DesktopReminder::remind()
{
    const ReminderOptions options = ReminderSettings::load();
    if (!options.enabled || m_databasePath.isEmpty()) {
        emit reminded(QString());
        return;
    }
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    const QDate today = Platform::today();
    auto counted = std::make_shared<Expected<QList<reminders::Group>>>(Result::failure(QString()));
    QThread* worker = QThread::create([path = m_databasePath, today, options, counted] {
        Connection connection;
        if (Result opened = connection.open(path); !opened.ok())
            *counted = opened;
        else
            *counted = reminders::count(&connection, today, options);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, today, counted] {
        m_running = false;
        // A file that cannot be read now is told by the window itself; the reminder waits for the next time.
        emit reminded(counted->ok() ? give(counted->value(), today) : QString());
        if (m_again) {
            m_again = false;
            remind();
        }
    });
    worker->start(QThread::LowPriority);
}

QString DesktopReminder::give(QList<reminders::Group> groups, const QDate& today)
{
    // At most once a day for each group.
    groups.erase(std::remove_if(
                     groups.begin(), groups.end(),
                     [&](const reminders::Group& g) { return ReminderSettings::lastGiven(g.days) == today; }),
                 groups.end());
    const QString body = reminders::text(groups);
    if (body.isEmpty())
        return {};
    for (const reminders::Group& group : groups)
        ReminderSettings::setGiven(group.days, today);
    const bool onlyExpired = groups.size() == 1 && groups.first().days == reminders::kExpired;

    QDBusConnection bus =
        MessageBox::isTestMode()
            ? QDBusConnection::connectToBus(g_testBus, QStringLiteral("lanshu-reminder-test"))
            : QDBusConnection::sessionBus();
    if ((MessageBox::isTestMode() && g_testBus.isEmpty()) || !bus.isConnected()) {
        emit notShown(body);
        return body;
    }
    if (!m_listening) {
        m_listening = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // Servers without actions ignore them; those with them show "查看" and report the choice.
    call << QStringLiteral("岚枢") << uint(0) << QStringLiteral("io.github.lanshu.lanshu")
         << QStringLiteral("域名到期提醒") << body
         << QStringList{QStringLiteral("default"), QStringLiteral("查看")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("io.github.lanshu.lanshu")}}
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, body, onlyExpired](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                if (reply.isError()) {
                    emit notShown(body);
                    return;
                }
                m_lastId = reply.value();
                m_lastOnlyExpired = onlyExpired;
            });
    return body;
}

void DesktopReminder::setTestBus(const QString& address)
{
    g_testBus = address;
}

void DesktopReminder::actionInvoked(uint id, const QString& action)
{
    Q_UNUSED(action);
    if (m_lastId != 0 && id == m_lastId)
        emit openRequested(m_lastOnlyExpired);
}
