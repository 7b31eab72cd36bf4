#include "TestDb.h"
#include "db/Sql.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(LANSHU_PROGRAM);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Reads CSV text with an independent reader (python's csv module): the rows as lists of texts.
QList<QStringList> readCsv(const QByteArray& bytes)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, io, json, sys\n"
                                 "raw = sys.stdin.buffer.read()\n"
                                 "rows = list(csv.reader(io.StringIO(raw.decode('utf-8-sig'), newline='')))\n"
                                 "json.dump(rows, sys.stdout, ensure_ascii=False)\n")});
    python.write(bytes);
    python.closeWriteChannel();
    QList<QStringList> rows;
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return rows;
    }
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells.append(cell.toString());
        rows.append(cells);
    }
    return rows;
}

QStringList column(const QList<QStringList>& rows, int c, bool skipHeading = true)
{
    QStringList texts;
    for (int r = skipHeading ? 1 : 0; r < rows.size(); ++r)
        texts.append(rows[r].value(c));
    return texts;
}

QString day(int fromToday)
{
    return QDate::currentDate().addDays(fromToday).toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_db.reset(); }

    void versionAndHelp();
    void wrongArguments_data();
    void wrongArguments();
    void listCsv_data();
    void listCsv();
    void listJsonAndTable();
    void exportByExtension_data();
    void exportByExtension();
    void calendar();
    void importWithDuplicates_data();
    void importWithDuplicates();
    void importWaitsForAnotherWriter();
    void lockedWithPasswordStdin();
    void lockedAsksOnTheTerminal_data();
    void lockedAsksOnTheTerminal();
    void missingDatabaseIsADataError();

private:
    // Runs the program in the test database's folder with no controlling terminal.
    Run run(const QStringList& arguments, const QByteArray& input = {}, const QString& folder = {});
    std::unique_ptr<TestDb> m_db;
};

void TestCli::init()
{
    m_db = std::make_unique<TestDb>();
    QVERIFY(m_db->ok());
    // Inserted in this order; the default list is newest first.
    m_db->insert({QStringLiteral("later.com"),
                  {},
                  QStringLiteral("注册商甲"),
                  {},
                  {},
                  day(60),
                  {},
                  {},
                  QStringLiteral("800")});
    m_db->insert({QStringLiteral("old.com"), {}, {}, {}, {}, day(-3)});
    m_db->insert({QStringLiteral("中文.中国"), QStringLiteral("说明,带\"逗号\"\n两行"), {}, {}, {}, day(10)});
    m_db->insert({QStringLiteral("bad.com"), {}, {}, {}, {}, QStringLiteral("明年某天")});
    m_db->insert({QStringLiteral("soon.com"),
                  {},
                  {},
                  {},
                  {},
                  day(5),
                  {},
                  QStringLiteral("pw"),
                  QStringLiteral("100")});
}

Run TestCli::run(const QStringList& arguments, const QByteArray& input, const QString& folder)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // no display at all: a window could not even start
    // The user's settings (the calendar's reminder days) of the test's own.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_db->folder() + QStringLiteral("/config"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder.isEmpty() ? m_db->folder() : folder);
    p.setChildProcessModifier([] { ::setsid(); }); // as from cron: no terminal to ask on
    p.start(kProgram, arguments);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    Run result;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        result.exitCode = p.exitCode();
    result.out = p.readAllStandardOutput();
    result.err = QString::fromUtf8(p.readAllStandardError());
    return result;
}

void TestCli::versionAndHelp()
{
    const Run version = run({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(QString::fromUtf8(version.out), QStringLiteral("岚枢 V1.0\n"));
    const Run help = run({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    const QString text = QString::fromUtf8(help.out);
    for (const char* word : {"用法", "--list", "--search", "--expiring", "--expired", "--format", "--export",
                             "--import", "--on-duplicate", "--calendar", "--password-stdin", "退出码"})
        QVERIFY2(text.contains(QString::fromUtf8(word)), word);
    QVERIFY(help.err.isEmpty());
}

void TestCli::wrongArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, std::initializer_list<const char*> args, const QString& message) {
        QStringList arguments;
        for (const char* arg : args)
            arguments.append(QString::fromUtf8(arg));
        QTest::newRow(name) << arguments << message;
    };
    row("unknown option", {"--bogus"}, QStringLiteral("未知的参数：--bogus"));
    row("no command", {"--search", "a"}, QStringLiteral("缺少命令"));
    row("two commands", {"--list", "--export", "a.csv"}, QStringLiteral("一次只能执行一个命令"));
    row("format unknown", {"--list", "--format", "xml"},
        QStringLiteral("--format 只能是 table、csv 或 json"));
    row("format without list", {"--export", "a.csv", "--format", "csv"},
        QStringLiteral("--format 只能与 --list"));
    row("days not a number", {"--list", "--expiring", "soon"}, QStringLiteral("--expiring 的天数"));
    row("negative days", {"--list", "--expiring=-1"}, QStringLiteral("--expiring 的天数"));
    row("expiring and expired", {"--list", "--expiring", "5", "--expired"},
        QStringLiteral("--expiring 和 --expired 不能同时使用"));
    row("missing file name", {"--export"}, QStringLiteral("--export 后面缺少取值"));
    row("duplicates without import", {"--list", "--on-duplicate", "skip"}, QStringLiteral("只能与 --import"));
    row("duplicates unknown", {"--import", "a.csv", "--on-duplicate", "merge"},
        QStringLiteral("--on-duplicate 只能是 skip、update 或 add"));
    row("export kind", {"--export", "out.txt"}, QStringLiteral("只能导出为 .xls、.xlsx 或 .csv 文件"));
    row("import file missing", {"--import", "nothere.xlsx"}, QStringLiteral("找不到要导入的文件"));
    row("password as argument", {"--list", "--password", "x"}, QStringLiteral("未知的参数：--password"));
}

// A user error: exit code 1, one line on standard error, nothing on standard output.
void TestCli::wrongArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run r = run(arguments);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(r.out.isEmpty());
}

void TestCli::listCsv_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("domains");
    QTest::newRow("all, newest first")
        << QStringList{}
        << QStringList{QStringLiteral("soon.com"), QStringLiteral("bad.com"), QStringLiteral("中文.中国"),
                       QStringLiteral("old.com"), QStringLiteral("later.com")};
    QTest::newRow("expiring 30, soonest first")
        << QStringList{QStringLiteral("--expiring"), QStringLiteral("30")}
        << QStringList{QStringLiteral("soon.com"), QStringLiteral("中文.中国")};
    QTest::newRow("expiring 5 includes the fifth day")
        << QStringList{QStringLiteral("--expiring=5")} << QStringList{QStringLiteral("soon.com")};
    QTest::newRow("expired") << QStringList{QStringLiteral("--expired")}
                             << QStringList{QStringLiteral("old.com")};
    QTest::newRow("search") << QStringList{QStringLiteral("--search"), QStringLiteral("中文")}
                            << QStringList{QStringLiteral("中文.中国")};
    QTest::newRow("search and expiring")
        << QStringList{QStringLiteral("--search"), QStringLiteral(".com"), QStringLiteral("--expiring"),
                       QStringLiteral("90")}
        << QStringList{QStringLiteral("soon.com"), QStringLiteral("later.com")};
    QTest::newRow("search too long for the matcher")
        << QStringList{QStringLiteral("--search"), QString(60000, QLatin1Char('%'))} << QStringList{};
}

void TestCli::listCsv()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, domains);
    const Run r = run(
        QStringList{QStringLiteral("--list"), QStringLiteral("--format"), QStringLiteral("csv")} + arguments);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QVERIFY(!r.out.startsWith("\xEF\xBB\xBF")); // for scripts: no mark before the text
    const QList<QStringList> rows = readCsv(r.out);
    QVERIFY(!rows.isEmpty());
    QCOMPARE(rows[0],
             QStringList({QStringLiteral("编号"), QStringLiteral("域名"), QStringLiteral("域名说明"),
                          QStringLiteral("注册商"), QStringLiteral("域名管理地址"),
                          QStringLiteral("注册日期"), QStringLiteral("过期日期"), QStringLiteral("备注"),
                          QStringLiteral("管理密码"), QStringLiteral("对外报价")}));
    QCOMPARE(column(rows, 1), domains);
    // A value with a comma, quotes and a line break comes back whole.
    const int chinese = int(column(rows, 1).indexOf(QStringLiteral("中文.中国")));
    if (chinese >= 0)
        QCOMPARE(rows[chinese + 1][2], QStringLiteral("说明,带\"逗号\"\n两行"));
}

void TestCli::listJsonAndTable()
{
    const Run json = run({QStringLiteral("--list"), QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(json.exitCode, 0);
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(json.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(rows.size(), 5);
    const QJsonObject soon = rows[0].toObject();
    QCOMPARE(soon[QStringLiteral("domain")].toString(), QStringLiteral("soon.com"));
    QCOMPARE(soon[QStringLiteral("expires")].toString(), day(5));
    QCOMPARE(soon[QStringLiteral("days_left")].toInt(), 5);
    QCOMPARE(soon[QStringLiteral("price")].toString(), QStringLiteral("100"));
    QVERIFY(rows[1].toObject()[QStringLiteral("days_left")].isNull()); // bad.com: no date to count from
    QCOMPARE(rows[2].toObject()[QStringLiteral("description")].toString(),
             QStringLiteral("说明,带\"逗号\"\n两行"));
    QCOMPARE(rows[3].toObject()[QStringLiteral("days_left")].toInt(), -3);

    const Run empty = run({QStringLiteral("--list"), QStringLiteral("--format=json"),
                           QStringLiteral("--search"), QStringLiteral("nothing")});
    QCOMPARE(empty.exitCode, 0);
    QVERIFY(QJsonDocument::fromJson(empty.out).isArray());
    QVERIFY(QJsonDocument::fromJson(empty.out).array().isEmpty());

    const Run table = run({QStringLiteral("--list"), QStringLiteral("--expiring"), QStringLiteral("30")});
    QCOMPARE(table.exitCode, 0);
    const QStringList lines = QString::fromUtf8(table.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith(QStringLiteral("域名")), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QStringLiteral("soon.com")) &&
                 lines[1].contains(QStringLiteral("剩余 5 天")),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QStringLiteral("中文.中国")), qPrintable(lines[2]));
    // The dates stand in one column: a Chinese character takes two places on a terminal.
    auto placesBefore = [](const QString& line, const QString& what) {
        int places = 0;
        for (const QChar c : line.left(line.indexOf(what)))
            places += c.unicode() >= 0x2E80 ? 2 : 1;
        return places;
    };
    QCOMPARE(placesBefore(lines[1], day(5)), placesBefore(lines[2], day(10)));
    QCOMPARE(lines[3], QStringLiteral("共 2 个域名"));
}

void TestCli::exportByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("csv") << QStringLiteral("out.csv");
    QTest::newRow("xlsx") << QStringLiteral("out.xlsx");
    QTest::newRow("xls") << QStringLiteral("OUT.XLS");
}

void TestCli::exportByExtension()
{
    QFETCH(QString, name);
    const QString path = m_db->folder() + QLatin1Char('/') + name;
    const Run r = run({QStringLiteral("--export"), path, QStringLiteral("--expiring"), QStringLiteral("30")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(QString::fromUtf8(r.out).contains(QStringLiteral("已导出 2 个域名")), r.out.constData());
    // Read back by independent readers: python's csv module, or gnumeric's converter to CSV.
    QByteArray csv;
    if (name.endsWith(QLatin1String(".csv"))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        csv = file.readAll();
        QVERIFY(csv.startsWith("\xEF\xBB\xBF")); // spreadsheet programs read it as UTF-8
    } else {
        const QString converted = m_db->folder() + QStringLiteral("/converted.csv");
        QProcess ssconvert;
        ssconvert.start(QStringLiteral("ssconvert"),
                        {QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), path, converted});
        QVERIFY(ssconvert.waitForFinished(120000));
        QFile file(converted);
        QVERIFY(file.open(QIODevice::ReadOnly));
        csv = file.readAll();
    }
    const QList<QStringList> rows = readCsv(csv);
    QCOMPARE(column(rows, 1), QStringList({QStringLiteral("soon.com"), QStringLiteral("中文.中国")}));
    QCOMPARE(rows.value(1).value(8), QStringLiteral("pw"));
}

void TestCli::calendar()
{
    const QString path = m_db->folder() + QStringLiteral("/到期.ics");
    const Run r = run({QStringLiteral("--calendar"), path});
    QCOMPARE(r.exitCode, 0);
    const QString out = QString::fromUtf8(r.out);
    QVERIFY2(out.contains(QStringLiteral("已将 4 个域名的到期日期导出到")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("无法识别，没有写入日历：\nbad.com")), qPrintable(out));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, icalendar\n"
                                 "cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
                                 "for e in cal.walk('VEVENT'):\n"
                                 "    print(e.get('SUMMARY'), e.decoded('DTSTART').isoformat(), "
                                 "len(e.walk('VALARM')))\n"),
                  path});
    QVERIFY(python.waitForFinished(60000));
    QCOMPARE(python.exitCode(), 0);
    QStringList events =
        QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    events.sort();
    QCOMPARE(events, QStringList({QStringLiteral("域名到期：later.com %1 3").arg(day(60)),
                                  QStringLiteral("域名到期：old.com %1 3").arg(day(-3)),
                                  QStringLiteral("域名到期：soon.com %1 3").arg(day(5)),
                                  QStringLiteral("域名到期：中文.中国 %1 3").arg(day(10))}));
}

void TestCli::importWithDuplicates_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("soonPrice");
    QTest::addColumn<QString>("summary");
    QTest::newRow("skip") << QStringLiteral("skip") << 6 << QStringLiteral("100")
                          << QStringLiteral("导入完成：新增 1 个，更新 0 个，跳过 1 个");
    QTest::newRow("update") << QStringLiteral("update") << 6 << QStringLiteral("250")
                            << QStringLiteral("导入完成：新增 1 个，更新 1 个，跳过 0 个");
    QTest::newRow("add") << QStringLiteral("add") << 7 << QStringLiteral("100")
                         << QStringLiteral("导入完成：新增 2 个，更新 0 个，跳过 0 个");
    QTest::newRow("default skips") << QString() << 6 << QStringLiteral("100")
                                   << QStringLiteral("导入完成：新增 1 个，更新 0 个，跳过 1 个");
}

void TestCli::importWithDuplicates()
{
    QFETCH(QString, way);
    QFETCH(int, rows);
    QFETCH(QString, soonPrice);
    QFETCH(QString, summary);
    const QString path = m_db->folder() + QStringLiteral("/new.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        QStringLiteral("Domain Name,Expiration Date,Price\r\nSOON.com,%1,250\r\nfresh.net,2031-05-06,9\r\n")
            .arg(day(5))
            .toUtf8());
    file.close();
    QStringList arguments = {QStringLiteral("--import"), path};
    if (!way.isEmpty())
        arguments << QStringLiteral("--on-duplicate") << way;
    const Run r = run(arguments);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(QString::fromUtf8(r.out).startsWith(summary), r.out.constData());
    QCOMPARE(m_db->countRows(), rows);
    QCOMPARE(m_db->exec(QStringLiteral("select 1")), QString());
    const QList<QStringList> stored = storedRows(*m_db);
    QCOMPARE(stored[4][0], QStringLiteral("soon.com"));
    QCOMPARE(stored[4][8], soonPrice);
    QCOMPARE(stored[5][0],
             way == QLatin1String("add") ? QStringLiteral("SOON.com") : QStringLiteral("fresh.net"));
    // As every import, a copy of the database was made first.
    QCOMPARE(QDir(m_db->folder() + QStringLiteral("/backups")).entryList(QDir::Files).size(), 1);
}

// Beside the open window: the window's connection holds the file for writing; the import waits for it,
// and the window's connection sees the new rows (as it sees any other program's writes).
void TestCli::importWaitsForAnotherWriter()
{
    const QString path = m_db->folder() + QStringLiteral("/new.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("域名,对外报价\nwaited.com,1\n");
    file.close();
    TDataModule2* window = m_db->module();
    QCOMPARE(window->domains()->readAll().ok(), true);
    const QString stampBefore = window->Conn_service()->changeStamp();
    QCOMPARE(window->Conn_service()->execute(QStringLiteral("begin immediate")).error(), QString());

    QProcess p;
    p.setWorkingDirectory(m_db->folder());
    p.setChildProcessModifier([] { ::setsid(); });
    p.start(kProgram, {QStringLiteral("--import"), path});
    QVERIFY(p.waitForStarted());
    // The copy before the import is made while the window only writes; then the import must wait.
    QTRY_VERIFY_WITH_TIMEOUT(
        QDir(m_db->folder() + QStringLiteral("/backups")).entryList(QDir::Files).size() == 1, 20000);
    QCOMPARE(p.state(), QProcess::Running);
    QCOMPARE(window->Conn_service()->execute(QStringLiteral("commit")).error(), QString());
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(window->Conn_service()->changeStamp() != stampBefore);
    QVERIFY(window->domains()->reopen().ok());
    QCOMPARE(window->domains()->count(), 6);
    QCOMPARE(window->domains()->record(0).domain, QStringLiteral("waited.com"));
}

void TestCli::lockedWithPasswordStdin()
{
    QCOMPARE(
        m_db->exec(QStringLiteral("update jz_ub set ub1 = '秘 密', ub2 = '1', ub4 = '1' where ub3 = '8'")),
        QString());
    const QStringList list = {QStringLiteral("--list"), QStringLiteral("--expiring"),
                              QStringLiteral("30"),     QStringLiteral("--format"),
                              QStringLiteral("csv"),    QStringLiteral("--password-stdin")};
    const Run right = run(list, QStringLiteral("秘 密\n").toUtf8());
    QCOMPARE(right.exitCode, 0);
    QCOMPARE(column(readCsv(right.out), 1),
             QStringList({QStringLiteral("soon.com"), QStringLiteral("中文.中国")}));
    const Run wrong = run(list, QByteArray("秘密\n"));
    QCOMPARE(wrong.exitCode, 1);
    QCOMPARE(wrong.err, QStringLiteral("您输入的密码错误\n"));
    QVERIFY(wrong.out.isEmpty());
    // Without a terminal and without --password-stdin nothing is read.
    const Run none = run({QStringLiteral("--list")});
    QCOMPARE(none.exitCode, 1);
    QVERIFY2(none.err.contains(QStringLiteral("--password-stdin")), qPrintable(none.err));
    QVERIFY(none.out.isEmpty());
    // A write is refused the same way.
    const Run import = run({QStringLiteral("--import"), m_db->folder() + QStringLiteral("/x.csv"),
                            QStringLiteral("--password-stdin")},
                           "no\n");
    QCOMPARE(import.exitCode, 1);
    QCOMPARE(import.err, QStringLiteral("您输入的密码错误\n"));
}

void TestCli::lockedAsksOnTheTerminal_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shown");
    QTest::newRow("right password") << QByteArray("tty-secret\n") << 0 << QStringLiteral("old.com");
    QTest::newRow("wrong password") << QByteArray("tty-secret!\n") << 1 << QStringLiteral("您输入的密码错误");
    QTest::newRow("Ctrl+C") << QByteArray("tty-sec\x03") << 1 << QStringLiteral("已取消");
}

// Asked on the terminal: the prompt appears there, the password typed is not shown.
void TestCli::lockedAsksOnTheTerminal()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);
    QCOMPARE(m_db->exec(QStringLiteral("update jz_ub set ub1 = 'tty-secret', ub2 = '1' where ub3 = '8'")),
             QString());
    const char* const script = R"(
import os, pty, sys, select
pid, fd = pty.fork()
if pid == 0:
    os.chdir(sys.argv[1])
    os.execv(sys.argv[2], [sys.argv[2], "--list", "--expired"])
seen = b""
def more():
    global seen
    r, _, _ = select.select([fd], [], [], 20)
    if not r:
        raise SystemExit("no output")
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        chunk = b""
    seen += chunk
    return chunk
while "请输入密码".encode() not in seen:
    if not more():
        raise SystemExit("no prompt")
os.write(fd, bytes.fromhex(sys.argv[3]))
while more():
    pass
_, status = os.waitpid(pid, 0)
sys.stdout.write(seen.decode("utf-8", "replace"))
sys.exit(os.waitstatus_to_exitcode(status))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script), m_db->folder(), kProgram,
                  QString::fromLatin1(typed.toHex())});
    QVERIFY(python.waitForFinished(60000));
    const QString seen = QString::fromUtf8(python.readAllStandardOutput());
    QVERIFY2(python.exitCode() == exitCode, python.readAllStandardError().constData());
    QVERIFY2(seen.contains(shown), qPrintable(seen));
    QVERIFY2(!seen.contains(QStringLiteral("tty-sec")), qPrintable(seen));
}

void TestCli::missingDatabaseIsADataError()
{
    QTemporaryDir empty;
    const Run r = run({QStringLiteral("--list")}, {}, empty.path());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("找不到数据库文件")), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("service.dll"))));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
