#include "TestDb.h"
#include "app/Mian.h"
#include "lock/Fr_wel.h"
#include "lock/PasswordEdit.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "reminders/DesktopReminder.h"
#include "reminders/ReminderDialog.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QDate kToday(2026, 6, 15);

// The notification service of the test's own, on the private bus: records every notification.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown
    {
        QString app;
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Shown> shown;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(replaces);
        Q_UNUSED(icon);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        shown.append({app, summary, body, actions});
        return uint(shown.size());
    }
};

} // namespace

class TestReminders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void text_data();
    void text();
    void countsByGroup_data();
    void countsByGroup();
    void notifiesOncePerDayAndGroup();
    void actionOpensTheList();
    void noServiceFallsBackToStatusText();
    void turnedOff();
    void nothingWhileLocked();
    void dialogKeepsSettings_data();
    void dialogKeepsSettings();

private:
    void fillPortfolio(TestDb& db);
    // Asks for today's reminder and waits for it: its text, or "<none>" when none came.
    static QString remindNow(DesktopReminder& reminder);
    // Puts the test's notification service on the private bus (until cleanup()).
    bool startService();
    QTemporaryDir m_config;
    QProcess m_bus;
    QString m_address;
    FakeNotifications m_service;
};

void TestReminders::initTestCase()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    // A private session bus: nothing reaches the desktop the tests run on.
    m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 20000);
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void TestReminders::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestReminders::init()
{
    MessageBox::setTestMode(true);
    Platform::setTodayHook([] { return kToday; });
    QSettings(LayoutSettings::filePath(), QSettings::IniFormat).clear();
    m_service.shown.clear();
    DesktopReminder::setTestBus(m_address);
}

void TestReminders::cleanup()
{
    // Gone from the bus with its connection: the next test starts without a notification service.
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    DesktopReminder::setTestBus({});
    Platform::setTodayHook({});
    MessageBox::setTestMode(false);
}

QString TestReminders::remindNow(DesktopReminder& reminder)
{
    QSignalSpy given(&reminder, &DesktopReminder::reminded);
    reminder.remind();
    if (!QTest::qWaitFor([&] { return !given.isEmpty(); }, 20000))
        return QStringLiteral("<none>");
    return given.first().first().toString();
}

bool TestReminders::startService()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-notifications"));
    return service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                  QDBusConnection::ExportAllSlots) &&
           service.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

// Two domains in each group of 30, 7 and 1 days, two expired; one beyond every threshold, one unreadable.
void TestReminders::fillPortfolio(TestDb& db)
{
    const QList<std::pair<int, QString>> domains = {
        {-5, QStringLiteral("100")},  {-1, QStringLiteral("面议")}, {0, QStringLiteral("2,000")},
        {1, QStringLiteral("10")},    {3, QStringLiteral("500")},   {7, QString()},
        {20, QStringLiteral("5000")}, {30, QStringLiteral("1")},    {31, QStringLiteral("9999")}};
    int n = 0;
    for (const auto& [days, price] : domains)
        db.insert({QStringLiteral("d%1.com").arg(++n),
                   {},
                   {},
                   {},
                   {},
                   kToday.addDays(days).toString(QStringLiteral("yyyy/M/d")),
                   {},
                   {},
                   price});
    db.insert({QStringLiteral("unreadable.com"),
               {},
               {},
               {},
               {},
               QStringLiteral("不知道"),
               {},
               {},
               QStringLiteral("1")});
}

void TestReminders::text_data()
{
    QTest::addColumn<QList<int>>("groups"); // days, count, days, count, ...
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QList<int>{} << QString();
    QTest::newRow("one threshold") << QList<int>{7, 3} << QStringLiteral("3 个域名 7 天内到期");
    QTest::newRow("threshold and expired")
        << QList<int>{7, 3, reminders::kExpired, 12} << QStringLiteral("3 个域名 7 天内到期，12 个已过期");
    QTest::newRow("only expired") << QList<int>{reminders::kExpired, 4} << QStringLiteral("4 个域名已过期");
    QTest::newRow("today") << QList<int>{0, 1, 30, 2} << QStringLiteral("1 个域名今天到期，2 个 30 天内到期");
}

void TestReminders::text()
{
    QFETCH(QList<int>, groups);
    QFETCH(QString, expected);
    QList<reminders::Group> list;
    for (int i = 0; i + 1 < groups.size(); i += 2)
        list.append({groups[i], groups[i + 1]});
    QCOMPARE(reminders::text(list), expected);
}

void TestReminders::countsByGroup_data()
{
    QTest::addColumn<QList<int>>("thresholds");
    QTest::addColumn<int>("minPrice"); // -1: every domain counts
    QTest::addColumn<QString>("expected");
    QTest::newRow("default thresholds")
        << QList<int>{30, 7, 1} << -1
        << QStringLiteral("2 个域名 1 天内到期，2 个 7 天内到期，2 个 30 天内到期，2 个已过期");
    QTest::newRow("one threshold") << QList<int>{10} << -1
                                   << QStringLiteral("4 个域名 10 天内到期，2 个已过期");
    QTest::newRow("today only") << QList<int>{0} << -1 << QStringLiteral("1 个域名今天到期，2 个已过期");
    // Above 100: 2,000 (today), 500 (3 days), 5000 (20 days); 100 itself, 面议 and an empty price do not
    // count.
    QTest::newRow("price above 100") << QList<int>{30, 7, 1} << 100
                                     << QStringLiteral(
                                            "1 个域名 1 天内到期，1 个 7 天内到期，1 个 30 天内到期");
}

void TestReminders::countsByGroup()
{
    QFETCH(QList<int>, thresholds);
    QFETCH(int, minPrice);
    QFETCH(QString, expected);
    TestDb db;
    QVERIFY(db.ok());
    fillPortfolio(db);
    ReminderOptions options;
    options.thresholds = thresholds;
    options.priceFilter = minPrice >= 0;
    options.minPrice = std::max(0, minPrice);
    const Expected<QList<reminders::Group>> groups =
        reminders::count(db.module()->Conn_service(), kToday, options);
    QCOMPARE(groups.error(), QString());
    QCOMPARE(reminders::text(groups.value()), expected);
}

void TestReminders::notifiesOncePerDayAndGroup()
{
    QVERIFY(startService());
    TestDb db;
    QVERIFY(db.ok());
    fillPortfolio(db);
    DesktopReminder reminder(db.path());
    QSignalSpy notShown(&reminder, &DesktopReminder::notShown);

    const QString all = QStringLiteral("2 个域名 1 天内到期，2 个 7 天内到期，2 个 30 天内到期，2 个已过期");
    QCOMPARE(remindNow(reminder), all);
    QTRY_COMPARE(m_service.shown.size(), 1);
    QCOMPARE(m_service.shown[0].app, QStringLiteral("岚枢"));
    QCOMPARE(m_service.shown[0].summary, QStringLiteral("域名到期提醒"));
    QCOMPARE(m_service.shown[0].body, all);
    QVERIFY(m_service.shown[0].actions.contains(QStringLiteral("default")));

    // Again the same day, also after a restart: nothing more.
    QCOMPARE(remindNow(reminder), QString());
    DesktopReminder restarted(db.path());
    QCOMPARE(remindNow(restarted), QString());
    // A domain now expiring today: its group was told today already, so still nothing.
    db.insert({QStringLiteral("new.com"), {}, {}, {}, {}, kToday.toString(Qt::ISODate)});
    QCOMPARE(remindNow(reminder), QString());
    // A new threshold is a group not told yet today: it alone is told.
    ReminderOptions options;
    options.thresholds = {30, 14, 7, 1};
    QCOMPARE(ReminderSettings::save(options), QString());
    QCOMPARE(remindNow(reminder), QString()); // the 14-day group is empty (nothing from 8 to 14 days)
    db.insert({QStringLiteral("ten.com"), {}, {}, {}, {}, kToday.addDays(10).toString(Qt::ISODate)});
    QCOMPARE(remindNow(reminder), QStringLiteral("1 个域名 14 天内到期"));
    QTRY_COMPARE(m_service.shown.size(), 2);

    // The next day every group again.
    Platform::setTodayHook([] { return kToday.addDays(1); });
    QVERIFY(!remindNow(reminder).isEmpty());
    QTRY_COMPARE(m_service.shown.size(), 3);
    QCOMPARE(notShown.size(), 0);
}

void TestReminders::actionOpensTheList()
{
    QVERIFY(startService());
    QDBusConnection service(QStringLiteral("fake-notifications"));
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("gone.com"), {}, {}, {}, {}, QStringLiteral("2026-01-01")});
    DesktopReminder reminder(db.path());
    QSignalSpy open(&reminder, &DesktopReminder::openRequested);
    QCOMPARE(remindNow(reminder), QStringLiteral("1 个域名已过期"));
    QTRY_COMPARE(m_service.shown.size(), 1);
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                     QStringLiteral("org.freedesktop.Notifications"),
                                                     QStringLiteral("ActionInvoked"));
    signal << uint(1) << QStringLiteral("default");
    QVERIFY(service.send(signal));
    QTRY_COMPARE(open.size(), 1);
    QCOMPARE(open[0][0].toBool(), true); // only expired ones: the expired list
}

void TestReminders::noServiceFallsBackToStatusText()
{
    TestDb db;
    QVERIFY(db.ok());
    fillPortfolio(db);
    // The bus is there, the notification service is not.
    DesktopReminder reminder(db.path());
    QSignalSpy notShown(&reminder, &DesktopReminder::notShown);
    const QString text = remindNow(reminder);
    QVERIFY(!text.isEmpty());
    QTRY_COMPARE(notShown.size(), 1);
    QCOMPARE(notShown[0][0].toString(), text);
    QCOMPARE(remindNow(reminder), QString()); // once
    QCOMPARE(notShown.size(), 1);

    // No bus at all.
    Platform::setTodayHook([] { return kToday.addDays(1); });
    DesktopReminder::setTestBus({});
    QVERIFY(!remindNow(reminder).isEmpty());
    QCOMPARE(notShown.size(), 2);
}

void TestReminders::turnedOff()
{
    TestDb db;
    QVERIFY(db.ok());
    fillPortfolio(db);
    ReminderOptions options;
    options.enabled = false;
    QCOMPARE(ReminderSettings::save(options), QString());
    DesktopReminder reminder(db.path());
    QCOMPARE(remindNow(reminder), QString());
}

// The window reminds after the start only when it is not locked, and after an unlock; the text goes to the
// status bar without a notification service.
void TestReminders::nothingWhileLocked()
{
    TestDb db;
    QVERIFY(db.ok());
    fillPortfolio(db);
    QCOMPARE(db.exec(QStringLiteral("update jz_ub set ub1 = 'pw', ub2 = '1', ub4 = '1' where ub3 = '8'")),
             QString());
    QVERIFY(db.module()->settings()->load().ok());
    DesktopReminder::setTestBus({});
    Tmian w;
    w.bindData(db.module());
    w.FormShow();
    auto* soon = w.findChild<QTimer*>(QStringLiteral("remindSoon"));
    QVERIFY(soon);
    QVERIFY(!soon->isActive());
    auto* note = w.findChild<QLabel*>(QStringLiteral("reminderNote"));
    QVERIFY(note);
    QVERIFY(note->isHidden());

    w.Fr_wel1()->Pass_edit()->setText(QStringLiteral("pw"));
    w.Fr_wel1()->bsSkinButton1Click(); // 解 锁
    QVERIFY(w.isNavigationEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!note->isHidden(), 10000);
    QCOMPARE(note->text(),
             QStringLiteral("到期提醒：2 个域名 1 天内到期，2 个 7 天内到期，2 个 30 天内到期，2 个已过期"));
}

void TestReminders::dialogKeepsSettings_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("kept"); // empty: refused
    QTest::newRow("default") << QStringLiteral("30, 7, 1") << QList<int>{30, 7, 1};
    QTest::newRow("Chinese commas, any order") << QStringLiteral("1，60、7") << QList<int>{60, 7, 1};
    QTest::newRow("repeated") << QStringLiteral("7,7, 0") << QList<int>{7, 0};
    QTest::newRow("not a number") << QStringLiteral("30, 一周") << QList<int>{};
    QTest::newRow("negative") << QStringLiteral("-3") << QList<int>{};
    QTest::newRow("empty") << QStringLiteral(" , ") << QList<int>{};
}

void TestReminders::dialogKeepsSettings()
{
    QFETCH(QString, typed);
    QFETCH(QList<int>, kept);
    ReminderDialog dialog;
    dialog.findChild<QLineEdit*>(QStringLiteral("reminderThresholds"))->setText(typed);
    dialog.findChild<QCheckBox*>(QStringLiteral("reminderPriceFilter"))->setChecked(true);
    dialog.findChild<QSpinBox*>(QStringLiteral("reminderMinPrice"))->setValue(800);
    dialog.findChild<QPushButton*>(QStringLiteral("reminderSave"))->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    if (kept.isEmpty()) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, MessageBox::Warning);
        QVERIFY(dialog.result() != QDialog::Accepted);
        QCOMPARE(ReminderSettings::load(), ReminderOptions()); // nothing saved
        return;
    }
    QVERIFY(shown.isEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const ReminderOptions saved = ReminderSettings::load();
    QCOMPARE(saved.thresholds, kept);
    QVERIFY(saved.priceFilter);
    QCOMPARE(saved.minPrice, 800);
    // Kept per user beside the window layout, not in the program's settings file.
    QVERIFY(QSettings(LayoutSettings::filePath(), QSettings::IniFormat)
                .contains(QStringLiteral("reminders/thresholds")));
    ReminderDialog again;
    QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("reminderMinPrice"))->value(), 800);
}

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
