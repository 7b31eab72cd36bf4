#include "TestDb.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "portfolio/CalendarExport.h"
#include "portfolio/Fr_guanli.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Reads a calendar file with an independent parser (Debian's python3-icalendar): per event its UID,
// summary, start (ISO, and whether it is a whole day), and its alarms with action, description and
// trigger in days. Strict about the file: a line longer than 75 octets, a line end other than CRLF or
// a line that is not UTF-8 on its own fails the read.
const char* const kReader = R"(
import datetime, json, sys, icalendar
raw = open(sys.argv[1], "rb").read()
assert raw.endswith(b"\r\n"), "no CRLF at the end"
lines = raw[:-2].split(b"\r\n")
for line in lines:
    assert b"\n" not in line and b"\r" not in line, "a bare line end"
    assert len(line) <= 75, "a line of %d octets" % len(line)
    line.decode("utf-8")  # each physical line on its own: no character split between two
cal = icalendar.Calendar.from_ical(raw)
assert cal.get("VERSION") == "2.0"
events = []
for ev in cal.walk("VEVENT"):
    start = ev.decoded("DTSTART")
    alarms = []
    for al in ev.walk("VALARM"):
        trig = al.decoded("TRIGGER")
        alarms.append({"action": str(al.get("ACTION")), "description": str(al.get("DESCRIPTION")),
                       "days": trig.days if trig.seconds == 0 else None})
    events.append({"uid": str(ev.get("UID")), "summary": str(ev.get("SUMMARY")),
                   "start": start.isoformat(), "allDay": not isinstance(start, datetime.datetime),
                   "stamp": "DTSTAMP" in ev, "alarms": alarms})
json.dump(events, sys.stdout, ensure_ascii=False)
)";

QJsonArray readBack(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QJsonObject eventOf(const QJsonArray& events, const QString& summary)
{
    for (const QJsonValue& event : events)
        if (event.toObject()[QStringLiteral("summary")].toString() == summary)
            return event.toObject();
    return {};
}

QString longName()
{
    // Three octets a character: a line of it must be folded between characters, never inside one.
    return QStringLiteral("岚枢域名到期提醒的一个特别长的中文域名用来检查折行是否正确无误啊啊啊啊啊"
                          "啊啊啊啊啊啊再加一些字.中国");
}

} // namespace

class TestCalendar : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path()); }
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { MessageBox::setTestMode(false); }

    void eventsAndAlarms();
    void uidsStableAcrossExports();
    void folding_data();
    void folding();
    void panelMenuWritesAndNamesUnreadable();
    void panelCancelWritesNothing();
    void unwritablePathIsReported();

private:
    QTemporaryDir m_config;
};

void TestCalendar::eventsAndAlarms()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("a.com"), {}, {}, {}, {}, QStringLiteral("2027-01-05")});
    db.insert({longName(), {}, {}, {}, {}, QStringLiteral("2026年3月1日")});
    db.insert({QStringLiteral("bad.net"), {}, {}, {}, {}, QStringLiteral("明年")});
    db.insert({QStringLiteral("none.org")});
    db.insert({QStringLiteral("semi;co,ma.cn"), {}, {}, {}, {}, QStringLiteral("2028/2/29 10:00")});
    db.insert({QStringLiteral("A.com"), {}, {}, {}, {}, QStringLiteral("2030-01-01")}); // a.com again
    QCOMPARE(db.queryA()->open().error(), QString());

    const QString path = db.folder() + QStringLiteral("/out.ics");
    const calendar::Written result = calendar::write(*db.queryA(), path);
    QVERIFY(result.ok());
    QCOMPARE(result.written, 3);
    QCOMPARE(result.duplicates, 1);
    QCOMPARE(result.unreadable, QStringList({QStringLiteral("none.org"), QStringLiteral("bad.net")}));

    const QJsonArray events = readBack(path);
    QCOMPARE(events.size(), 3);
    struct Expected
    {
        QString domain;
        QString start;
    };
    // The list is newest first: of the two rows of a.com the newer one, A.com, is written.
    for (const Expected& e : {Expected{QStringLiteral("A.com"), QStringLiteral("2030-01-01")},
                              Expected{QStringLiteral("semi;co,ma.cn"), QStringLiteral("2028-02-29")},
                              Expected{longName(), QStringLiteral("2026-03-01")}}) {
        const QJsonObject event = eventOf(events, QStringLiteral("域名到期：") + e.domain);
        QVERIFY2(!event.isEmpty(), qPrintable(e.domain));
        QCOMPARE(event[QStringLiteral("start")].toString(), e.start);
        QVERIFY(event[QStringLiteral("allDay")].toBool());
        QVERIFY(event[QStringLiteral("stamp")].toBool());
        const QJsonArray alarms = event[QStringLiteral("alarms")].toArray();
        QCOMPARE(alarms.size(), 3);
        const int days[] = {-30, -7, -1};
        for (int i = 0; i < 3; ++i) {
            const QJsonObject alarm = alarms[i].toObject();
            QCOMPARE(alarm[QStringLiteral("action")].toString(), QStringLiteral("DISPLAY"));
            QCOMPARE(alarm[QStringLiteral("days")].toInt(), days[i]);
            QVERIFY2(alarm[QStringLiteral("description")].toString().contains(e.domain),
                     qPrintable(alarm[QStringLiteral("description")].toString()));
        }
    }
}

void TestCalendar::uidsStableAcrossExports()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("keep.com"), {}, {}, {}, {}, QStringLiteral("2027-01-05")});
    db.insert({longName(), {}, {}, {}, {}, QStringLiteral("2027-02-05")});
    QCOMPARE(db.queryA()->open().error(), QString());
    const QString first = db.folder() + QStringLiteral("/first.ics");
    QVERIFY(calendar::write(*db.queryA(), first).ok());

    // Renewed, another domain added, the list in another order: the same domains keep their UIDs.
    QCOMPARE(db.exec(QStringLiteral("update tt_a set a6 = '2028-01-05' where a1 = 'keep.com'")), QString());
    db.insert({QStringLiteral("new.com"), {}, {}, {}, {}, QStringLiteral("2027-03-05")});
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(db.queryA()->setSort(QStringLiteral("a1 ASC")).error(), QString());
    const QString second = db.folder() + QStringLiteral("/second.ics");
    QVERIFY(calendar::write(*db.queryA(), second).ok());

    const QJsonArray before = readBack(first);
    const QJsonArray after = readBack(second);
    QCOMPARE(before.size(), 2);
    QCOMPARE(after.size(), 3);
    QSet<QString> uids;
    for (const QString& domain : {QStringLiteral("keep.com"), longName()}) {
        const QString summary = QStringLiteral("域名到期：") + domain;
        const QString uid = eventOf(before, summary)[QStringLiteral("uid")].toString();
        QVERIFY(!uid.isEmpty());
        QCOMPARE(eventOf(after, summary)[QStringLiteral("uid")].toString(), uid);
        uids.insert(uid);
    }
    uids.insert(eventOf(after, QStringLiteral("域名到期：new.com"))[QStringLiteral("uid")].toString());
    QCOMPARE(uids.size(), 3); // different domains, different UIDs
    QCOMPARE(eventOf(after, QStringLiteral("域名到期：keep.com"))[QStringLiteral("start")].toString(),
             QStringLiteral("2028-01-05"));
}

void TestCalendar::folding_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("short") << QByteArray("SUMMARY:a.com");
    QTest::newRow("exactly 75") << QByteArray("X:") + QByteArray(73, 'x');
    QTest::newRow("76 ASCII") << QByteArray("X:") + QByteArray(74, 'x');
    // A three-octet character across octet 75 at every offset.
    for (int pad = 0; pad < 3; ++pad)
        QTest::newRow(qPrintable(QStringLiteral("chinese offset %1").arg(pad)))
            << QByteArray("SUMMARY:") + QByteArray(pad, 'a') + QString(80, QChar(u'域')).toUtf8();
    QTest::newRow("four-octet characters")
        << QByteArray("DESCRIPTION:") + QString(60, QChar(0x1F310)).toUtf8();
}

// Every physical line at most 75 octets, each valid UTF-8 by itself, and unfolding (dropping each CRLF and
// the blank after it) gives the line back.
void TestCalendar::folding()
{
    QFETCH(QByteArray, line);
    const QByteArray folded = calendar::foldLine(line);
    QVERIFY(folded.endsWith("\r\n"));
    const QList<QByteArray> parts = folded.chopped(2).split('\n');
    QByteArray unfolded;
    for (int i = 0; i < parts.size(); ++i) {
        QByteArray part = parts[i];
        if (i + 1 < parts.size()) {
            QVERIFY(part.endsWith('\r'));
            part.chop(1);
        }
        QVERIFY2(part.size() <= 75, part.constData());
        if (i > 0) {
            QVERIFY(part.startsWith(' '));
            part.remove(0, 1);
        }
        QVERIFY(part.size() > 0);
        // Valid UTF-8 on its own: it decodes and encodes back to the same octets.
        QCOMPARE(QString::fromUtf8(part).toUtf8(), part);
        unfolded += part;
    }
    QCOMPARE(unfolded, line);
    QCOMPARE(parts.size() > 1, line.size() > 75);
}

void TestCalendar::panelMenuWritesAndNamesUnreadable()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("good.com"), {}, {}, {}, {}, QStringLiteral("2027-01-05")});
    db.insert({QStringLiteral("odd.com"), {}, {}, {}, {}, QStringLiteral("2027-02-30")});
    QCOMPARE(db.queryA()->open().error(), QString());
    TFr_guanli panel;
    panel.bindData(db.module());
    auto* action = panel.findChild<QAction*>(QStringLiteral("actExportCalendar"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("导出到期日历…"));

    const QString path = db.folder() + QStringLiteral("/到期"); // the extension is added
    FileDialog::setNextSaveFileName(path);
    action->trigger();

    QVERIFY(FileDialog::lastProposed().endsWith(QStringLiteral("域名到期.ics")));
    QCOMPARE(FileDialog::lastFilter(), QStringLiteral("日历文件 (*.ics)"));
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Information);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("已将 1 个域名的到期日期导出到")),
             qPrintable(shown[0].text));
    QVERIFY2(
        shown[0].text.contains(QStringLiteral("以下 1 个域名的过期日期无法识别，没有写入日历：\nodd.com")),
        qPrintable(shown[0].text));
    const QJsonArray events = readBack(path + QStringLiteral(".ics"));
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].toObject()[QStringLiteral("summary")].toString(),
             QStringLiteral("域名到期：good.com"));

    // The reminders are the days chosen in 提醒设置.
    ReminderOptions options;
    options.thresholds = {14, 0};
    QCOMPARE(ReminderSettings::save(options), QString());
    FileDialog::setNextSaveFileName(path);
    action->trigger();
    MessageBox::clearShown();
    const QJsonArray alarms =
        readBack(path + QStringLiteral(".ics"))[0].toObject()[QStringLiteral("alarms")].toArray();
    QCOMPARE(alarms.size(), 2);
    QCOMPARE(alarms[0].toObject()[QStringLiteral("days")].toInt(), -14);
    QCOMPARE(alarms[1].toObject()[QStringLiteral("days")].toInt(), 0);
    QSettings(LayoutSettings::filePath(), QSettings::IniFormat).clear();
}

void TestCalendar::panelCancelWritesNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("good.com"), {}, {}, {}, {}, QStringLiteral("2027-01-05")});
    QCOMPARE(db.queryA()->open().error(), QString());
    TFr_guanli panel;
    panel.bindData(db.module());
    const int dialogs = FileDialog::openedCount();
    panel.findChild<QAction*>(QStringLiteral("actExportCalendar"))->trigger(); // no answer queued: cancelled
    QCOMPARE(FileDialog::openedCount(), dialogs + 1);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(!QFile::exists(db.folder() + QStringLiteral("/域名到期.ics")));
}

void TestCalendar::unwritablePathIsReported()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("good.com"), {}, {}, {}, {}, QStringLiteral("2027-01-05")});
    QCOMPARE(db.queryA()->open().error(), QString());
    const QString path = db.folder() + QStringLiteral("/no/such/folder/x.ics");
    const calendar::Written result = calendar::write(*db.queryA(), path);
    QVERIFY(!result.ok());
    QVERIFY2(calendar::resultText(result, path).contains(path),
             qPrintable(calendar::resultText(result, path)));
}

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
