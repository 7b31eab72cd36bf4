#include "TestDb.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "db/Statement.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestDbLayer : public QObject
{
    Q_OBJECT
private slots:
    void shippedFileIsEncrypted();
    void shippedFileIsNeverOverwritten();
    void badFilesAreRefusedAndLeftAlone_data();
    void badFilesAreRefusedAndLeftAlone();
    void missingFileIsNotCreated();
    void fileInUseIsReportedAsInUse();
    void backupsKeepTheNewestTen();
    void backupOncePerDay();
    void restoreReplacesTheDomainsAndKeepsTheCurrentFile();
    void restoreOfTheOldestCopyKeepsIt();
    void damagedCopyIsRefused_data();
    void damagedCopyIsRefused();
    void failedBackupLeavesNothing();
    void linkedBackupsFolderIsLeftAlone();
    void readOnlyFileSaysItCannotBeWritten();
    void opensWithBothQueries();
    void newRowsComeFirstAndKeysGrow();
    void valuesStayTextEndToEnd_data();
    void valuesStayTextEndToEnd();
    void namedParametersLandInTheirColumns();
    void statementErrorsCarryTheEngineMessage();
    void reopenRepeatsStatementAndParameters();
    void failedOpenLeavesTheDatasetClosed();
    void searchIsBoundAndKeepsWildcards_data();
    void searchIsBoundAndKeepsWildcards();
    void sortIsNaturalAndStable_data();
    void sortIsNaturalAndStable();
    void sortIsGoneAfterReopen();
    void currentRowMoves();
    void deleteMovesToTheFollowingRow();
    void appendStoresAtOnceAndBecomesCurrent();
    void settingsUpdatesAddressTheSettingsRow();
};

void TestDbLayer::shippedFileIsEncrypted()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QCOMPARE(schema::createShippedDatabase(path).error(), QString());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(16);
    QVERIFY(!head.startsWith("SQLite format 3"));

    // The right password opens it; the settings row is the shipped one.
    Connection right;
    QCOMPARE(right.open(path).error(), QString());
    Dataset settings(&right);
    settings.setSql(sql::kSettingsLoad);
    QCOMPARE(settings.open().error(), QString());
    QCOMPARE(settings.recordCount(), 1);
    QCOMPARE(settings.fieldText(QStringLiteral("ub2")), QStringLiteral("0"));
    QCOMPARE(settings.fieldText(QStringLiteral("ub3")), QStringLiteral("8"));
    QCOMPARE(settings.fieldText(QStringLiteral("ub4")), QStringLiteral("0"));
    QCOMPARE(settings.fieldText(QStringLiteral("ub1")), QString());

    Connection wrong;
    const QString error = wrong.open(path, QByteArrayLiteral("not the password")).error();
    QVERIFY(!error.isEmpty());
    QVERIFY(!wrong.isOpen());
}

void TestDbLayer::shippedFileIsNeverOverwritten()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QVERIFY(db.insert({QStringLiteral("keep.com")}) > 0);
    const QByteArray before = fileHash(db.path());
    QVERIFY(!schema::createShippedDatabase(db.path()).ok());
    QCOMPARE(fileHash(db.path()), before);
    QCOMPARE(db.countRows(), 1);
}

void TestDbLayer::badFilesAreRefusedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("text file") << QByteArray("text");
    QTest::newRow("empty file") << QByteArray("empty");
    QTest::newRow("plain sqlite file") << QByteArray("plain");
    QTest::newRow("truncated database") << QByteArray("truncated");
    QTest::newRow("wrong key") << QByteArray("wrongkey");
}

void TestDbLayer::badFilesAreRefusedAndLeftAlone()
{
    QFETCH(QByteArray, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    if (kind == "text") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("域名,说明\nexample.com,demo\n");
    } else if (kind == "empty") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == "plain") {
        Connection c;
        QCOMPARE(c.create(path, QByteArray()).error(), QString());
        QCOMPARE(schema::createTables(c).error(), QString());
    } else if (kind == "truncated") {
        QCOMPARE(schema::createShippedDatabase(path).error(), QString());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(100));
    } else {
        Connection c;
        QCOMPARE(c.create(path, QByteArrayLiteral("another key")).error(), QString());
        QCOMPARE(schema::createTables(c).error(), QString());
    }
    const QByteArray before = fileHash(path);
    QString error;
    QTemporaryDir cwd;
    auto moduleMade = TDataModule2::create(path);
    error = moduleMade.error();
    auto module = moduleMade.take();
    QVERIFY(!module);
    QVERIFY2(error.contains(QStringLiteral("service.dll")), qPrintable(error));
    if (kind == "empty" || kind == "plain") // opens as a database, but not as ours
        QVERIFY2(error.contains(QStringLiteral("tt_a")) || error.contains(QStringLiteral("not a database")),
                 qPrintable(error));
    QCOMPARE(fileHash(path), before);
}

void TestDbLayer::missingFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QString error;
    error = TDataModule2::create(path).error();
    QVERIFY(!error.isEmpty());
    QVERIFY(error.contains(QStringLiteral("service.dll")));
    QVERIFY(error.contains(QStringLiteral("unable to open database file")));
    QVERIFY(!QFile::exists(path));
}

void TestDbLayer::backupsKeepTheNewestTen()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    const QDateTime start(QDate(2024, 1, 5), QTime(23, 59, 50));
    // Twelve copies, two of them within one second: the oldest two go.
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(backup::make(db.module()->Conn_service(), path, start.addSecs(i == 11 ? 10 : i)).error(),
                 QString());
    }
    const QStringList copies = backup::copies(path);
    QCOMPARE(copies.size(), backup::kKept);
    QCOMPARE(copies.first(), QStringLiteral("service-2024-01-05_235952.dll"));
    QCOMPARE(copies[copies.size() - 2], QStringLiteral("service-2024-01-06_000000.dll"));
    QCOMPARE(copies.last(), QStringLiteral("service-2024-01-06_000000-2.dll"));
    // A copy is the file as it was, and opens as a database with the domains in it.
    db.insert({QStringLiteral("after.com")});
    const QString newest = backup::folderFor(path) + QLatin1Char('/') + copies.last();
    QCOMPARE(fileHash(newest).isEmpty(), false);
    QString error;
    {
        auto copyMade = TDataModule2::create(newest);
        error = copyMade.error();
        auto copy = copyMade.take();
        QVERIFY2(copy, qPrintable(error));
        QCOMPARE(copy->Query_a()->recordCount(), 0);
    }
    // Files of the user's own in the folder stay.
    QFile mine(backup::folderFor(path) + QStringLiteral("/notes.txt"));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();
    QCOMPARE(backup::make(nullptr, path, start.addDays(1)).error(), QString());
    QVERIFY(mine.exists());
    QCOMPARE(backup::copies(path).size(), backup::kKept);
}

void TestDbLayer::backupOncePerDay()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    const QDateTime morning(QDate(2024, 3, 1), QTime(8, 0));
    QCOMPARE(backup::makeDaily(db.module()->Conn_service(), path, morning).error(), QString());
    QCOMPARE(backup::makeDaily(db.module()->Conn_service(), path, morning.addSecs(3600)).error(), QString());
    QCOMPARE(backup::copies(path).size(), 1);
    QCOMPARE(backup::makeDaily(db.module()->Conn_service(), path, morning.addDays(1)).error(), QString());
    QCOMPARE(backup::copies(path).size(), 2);
    // The connection is left as it was: writes go through at once.
    QVERIFY(db.insert({QStringLiteral("x.com")}) > 0);
}

void TestDbLayer::restoreReplacesTheDomainsAndKeepsTheCurrentFile()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    db.insert(row({QStringLiteral("kept.com"), QStringLiteral("旧说明")}));
    db.insert(row({QStringLiteral("gone.cn")}));
    const QDateTime yesterday(QDate(2026, 12, 9), QTime(9, 30));
    QCOMPARE(backup::make(db.module()->Conn_service(), path, yesterday).error(), QString());
    // Since then: one removed, one changed, one added; the password rule changed too.
    QCOMPARE(db.exec(QStringLiteral("delete from tt_a where a1 = 'gone.cn'; update tt_a set a2 = '新说明'; "
                                    "insert into tt_a (a1) values ('new.net'); update jz_ub set ub2 = '1'")),
             QString());
    const QList<QStringList> today = storedRows(db);

    QCOMPARE(backup::copies(path), QStringList{QStringLiteral("service-2026-12-09_093000.dll")});
    const backup::CopyInfo listed = backup::info(path, backup::copies(path).constFirst());
    QCOMPARE(listed.made, yesterday);
    QCOMPARE(listed.bytes, QFileInfo(backup::folderFor(path) + QLatin1Char('/') + listed.name).size());
    for (const backup::Check how : {backup::Check::Count, backup::Check::Full}) {
        const Expected<int> counted =
            backup::check(backup::folderFor(path) + QLatin1Char('/') + listed.name, how);
        QCOMPARE(counted.error(), QString());
        QCOMPARE(counted.value(), 2);
    }

    const Expected<int> domains =
        backup::restore(db.module()->Conn_service(), path, listed.name, yesterday.addDays(1));
    QCOMPARE(domains.error(), QString());
    QCOMPARE(domains.value(), 2);
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("kept.com"), QStringLiteral("旧说明")}),
                                                 row({QStringLiteral("gone.cn")})}));
    // The keys come back as they were, and a new domain gets a key never used before.
    QCOMPARE(db.row(2).value(1), QStringLiteral("gone.cn"));
    QVERIFY(db.insert({QStringLiteral("later.org")}) > 3);
    // The password rule of today stays.
    QCOMPARE(db.setting(QStringLiteral("ub2")), QStringLiteral("1"));
    // Today's file was kept first, as a copy of its own.
    const QStringList copies = backup::copies(path);
    QCOMPARE(copies, QStringList({QStringLiteral("service-2026-12-09_093000.dll"),
                                  QStringLiteral("service-2026-12-10_093000.dll")}));
    {
        QString error;
        auto keptMade = TDataModule2::create(backup::folderFor(path) + QLatin1Char('/') + copies.last());
        error = keptMade.error();
        auto kept = keptMade.take();
        QVERIFY2(kept, qPrintable(error));
        QCOMPARE(kept->Query_a()->finishFill().error(), QString());
        QCOMPARE(kept->Query_a()->recordCount(), today.size());
    }
}

void TestDbLayer::restoreOfTheOldestCopyKeepsIt()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    db.insert({QStringLiteral("first.com")});
    for (int i = 0; i < backup::kKept; ++i) {
        QCOMPARE(backup::make(db.module()->Conn_service(), path, start.addDays(i)).error(), QString());
        db.insert({QStringLiteral("d%1.com").arg(i)});
    }
    // The new copy of today's file would push the oldest out; the one being restored stays instead.
    QCOMPARE(backup::restore(db.module()->Conn_service(), path,
                             QStringLiteral("service-2026-01-01_080000.dll"), start.addDays(20))
                 .error(),
             QString());
    QCOMPARE(storedRows(db), QList<QStringList>({row({QStringLiteral("first.com")})}));
    const QStringList copies = backup::copies(path);
    QCOMPARE(copies.size(), backup::kKept);
    QCOMPARE(copies.first(), QStringLiteral("service-2026-01-01_080000.dll"));
    QCOMPARE(copies.last(), QStringLiteral("service-2026-01-21_080000.dll"));
    QVERIFY(!copies.contains(QStringLiteral("service-2026-01-02_080000.dll")));
}

void TestDbLayer::damagedCopyIsRefused_data()
{
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<QString>("reason");
    // Bytes overwritten in the middle of the file: a page that no longer decrypts.
    QTest::newRow("page damaged") << QByteArray("middle") << QStringLiteral("");
    // Cut short: the engine finds the file shorter than its pages say.
    QTest::newRow("cut short") << QByteArray("truncate") << QStringLiteral("");
    // Not a database of ours at all.
    QTest::newRow("not a database") << QByteArray("text") << QStringLiteral("is not a database");
}

void TestDbLayer::damagedCopyIsRefused()
{
    QFETCH(QByteArray, damage);
    QFETCH(QString, reason);
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    QCOMPARE(db.exec(QStringLiteral(
                 "with recursive n(i) as (select 0 union all select i + 1 from n where i < 1999) "
                 "insert into tt_a (a1, a2) select 'domain' || i || '.com', '说明 ' || i from n")),
             QString());
    const QDateTime when(QDate(2026, 12, 1), QTime(12, 0));
    QCOMPARE(backup::make(db.module()->Conn_service(), path, when).error(), QString());
    const QString name = backup::copies(path).constFirst();
    QFile copy(backup::folderFor(path) + QLatin1Char('/') + name);
    QVERIFY(copy.open(QIODevice::ReadWrite));
    const qint64 size = copy.size();
    if (damage == "middle") {
        copy.seek(size / 2);
        copy.write(QByteArray(4096, 'x'));
    } else if (damage == "truncate") {
        copy.resize(size / 2);
    } else {
        copy.resize(0);
        copy.write(QByteArray("域名,说明\nexample.com,x\n").repeated(500));
    }
    copy.close();
    db.insert({QStringLiteral("today.com")});
    const QList<QStringList> before = storedRows(db);

    const Expected<int> checked = backup::check(copy.fileName());
    QVERIFY(!checked.ok());
    const QString problem = checked.error();
    QVERIFY(!problem.isEmpty());
    if (!reason.isEmpty())
        QVERIFY2(problem.contains(reason), qPrintable(problem));

    const QString refused = backup::restore(db.module()->Conn_service(), path, name, when.addDays(1)).error();
    QVERIFY2(refused.startsWith(QStringLiteral("备份“%1”已损坏").arg(name)), qPrintable(refused));
    QVERIFY(refused.contains(problem));
    // Nothing changed: the domains, and no new copy.
    QCOMPARE(storedRows(db), before);
    QCOMPARE(backup::copies(path), QStringList{name});
}

void TestDbLayer::failedBackupLeavesNothing()
{
    TestDb db;
    QVERIFY(db.ok());
    QFile blocker(backup::folderFor(QStringLiteral("service.dll")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString error = backup::make(db.module()->Conn_service(), QStringLiteral("service.dll"),
                                       QDateTime(QDate(2024, 1, 1), QTime(9, 0)))
                              .error();
    QVERIFY2(error.startsWith(QStringLiteral("无法备份数据库文件")), qPrintable(error));
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
    // The first failure of a run is told, later ones are not.
    QVERIFY(backup::reportFailureOnce());
    QVERIFY(!backup::reportFailureOnce());
    QVERIFY(db.insert({QStringLiteral("x.com")}) > 0);
}

// "backups" pointed at a folder of someone else's: no copy is made there, its mode stays, nothing in it is
// pruned, and the failure is told like any failed copy.
void TestDbLayer::linkedBackupsFolderIsLeftAlone()
{
    TestDb db;
    QVERIFY(db.ok());
    const QString path = QStringLiteral("service.dll");
    const QDateTime now(QDate(2024, 1, 20), QTime(9, 0));
    const QTemporaryDir other;
    // Eleven files named like copies, the newest of the same day: pruning would remove one, and a daily
    // copy would think itself made already.
    QStringList before;
    for (int day = 10; day <= 20; ++day)
        before << QStringLiteral("service-2024-01-%1_080000.dll").arg(day);
    before << QStringLiteral("notes.txt");
    for (const QString& name : before) {
        QFile file(QDir(other.path()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QFileDevice::Permissions open =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
        QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(other.path(), open));
    QVERIFY(QFile::link(other.path(), backup::folderFor(path)));

    for (const QString& error : {backup::makeDaily(db.module()->Conn_service(), path, now).error(),
                                 backup::make(db.module()->Conn_service(), path, now.addSecs(60)).error()}) {
        QVERIFY2(error.startsWith(QStringLiteral("无法备份数据库文件")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("链接")), qPrintable(error));
    }
    QDir otherDir(other.path());
    QStringList after =
        otherDir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    before.sort();
    after.sort();
    QCOMPARE(after, before);
    QCOMPARE(QFileInfo(other.path()).permissions() &
                 ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
             open & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser));
    QVERIFY(backup::copies(path).isEmpty());
    QVERIFY(QFileInfo(backup::folderFor(path)).isSymLink());
    QVERIFY(db.insert({QStringLiteral("x.com")}) > 0);
}

// Another program holds the file in the middle of a write: neither damage nor a wrong password.
void TestDbLayer::fileInUseIsReportedAsInUse()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QCOMPARE(schema::createShippedDatabase(path).error(), QString());
    Connection other;
    QCOMPARE(other.open(path).error(), QString());
    QCOMPARE(other.execute(QStringLiteral("begin exclusive")).error(), QString());
    QString error;
    error = TDataModule2::create(path).error();
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QStringLiteral("正被另一个程序使用")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("database is locked")), qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("损坏")) && !error.contains(QStringLiteral("密码")),
             qPrintable(error));
    QCOMPARE(other.execute(QStringLiteral("commit")).error(), QString());
    error = TDataModule2::create(path).error();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// A file that cannot be written opens; the first save says so in Chinese with the engine's text.
void TestDbLayer::readOnlyFileSaysItCannotBeWritten()
{
    TestDb db;
    QVERIFY(db.ok());
    // The engine refuses every write as it does for a write-protected file (permissions do not stop root).
    QCOMPARE(db.exec(QStringLiteral("PRAGMA query_only=1")), QString());
    Statement st(db.module()->Conn_service());
    st.setSql(sql::kInsertDomain);
    for (const QString& name : st.parameterNames())
        st.setParam(name, QStringLiteral("x.com"));
    const QString error = st.exec().error();
    QVERIFY2(error.startsWith(QStringLiteral("无法写入数据库文件")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("只读")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("attempt to write a readonly database")), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("service.dll")));
    QCOMPARE(db.countRows(), 0);
}

void TestDbLayer::opensWithBothQueries()
{
    TestDb db;
    QVERIFY2(db.ok(), qPrintable(db.error()));
    QVERIFY(db.queryA()->isOpen());
    QCOMPARE(db.queryA()->sql(), sql::kDefaultList);
    QCOMPARE(db.queryA()->recordCount(), 0);
    QCOMPARE(db.queryA()->currentRow(), -1);
    QCOMPARE(db.queryA()->fieldCount(), 10);
    QCOMPARE(db.queryA()->fieldName(0), QStringLiteral("aid"));
    QCOMPARE(db.queryA()->fieldName(9), QStringLiteral("a9"));
    QCOMPARE(db.module()->settings()->lockFlag(), QStringLiteral("0"));
}

void TestDbLayer::newRowsComeFirstAndKeysGrow()
{
    TestDb db;
    QVERIFY(db.ok());
    const qint64 first = db.insert({QStringLiteral("one.com")});
    const qint64 second = db.insert({QStringLiteral("two.com")});
    QVERIFY(second > first);
    // Keys only grow, also after the newest row is deleted.
    QCOMPARE(db.exec(QStringLiteral("delete from tt_a where aid=%1").arg(second)), QString());
    const qint64 third = db.insert({QStringLiteral("three.com")});
    QVERIFY(third > second);
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{QStringLiteral("three.com"), QStringLiteral("one.com")}));
    QCOMPARE(db.queryA()->currentRow(), 0);
}

void TestDbLayer::valuesStayTextEndToEnd_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("leading zeros") << QStringLiteral("007");
    QTest::newRow("number-like") << QStringLiteral("1e5");
    QTest::newRow("quotes") << QStringLiteral("it's \"quoted\"; drop table tt_a;--");
    QTest::newRow("chinese and emoji") << QStringLiteral("岚枢域名😀👍🏽");
    QTest::newRow("line breaks") << QStringLiteral("line1\r\nline2\n\tend");
    QTest::newRow("blanks") << QStringLiteral("  padded  ");
    QTest::newRow("long") << QString(20000, QLatin1Char('x'));
    QTest::newRow("empty") << QString();
}

void TestDbLayer::valuesStayTextEndToEnd()
{
    QFETCH(QString, text);
    TestDb db;
    QVERIFY(db.ok());
    Statement add(db.module()->Conn_service());
    add.setSql(sql::kInsertDomain);
    for (const QString& name : add.parameterNames())
        add.setParam(name, text);
    QCOMPARE(add.exec().error(), QString());
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(db.queryA()->recordCount(), 1);
    for (int f = 1; f <= 9; ++f)
        QCOMPARE(db.queryA()->value(0, f), text);
}

void TestDbLayer::namedParametersLandInTheirColumns()
{
    TestDb db;
    QVERIFY(db.ok());
    const qint64 other = db.insert({QStringLiteral("other.com"), QStringLiteral("o2")});
    const qint64 aid = db.insert({QStringLiteral("old.com")});
    Statement edit(db.module()->Conn_service());
    edit.setSql(sql::kUpdateDomain);
    QCOMPARE(edit.parameterNames(),
             (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"i"_s, u"j"_s, u"h"_s}));
    const QString letters = QStringLiteral("abcdefgij");
    for (int i = 0; i < letters.size(); ++i)
        edit.setParam(QString(letters[i]), QStringLiteral("v_") + letters[i]);
    edit.setParam(QStringLiteral("h"), QString::number(aid));
    QCOMPARE(edit.exec().error(), QString());
    // a..g go to a1..a7, i to a8, j to a9; only the row with that aid changes.
    QCOMPARE(db.row(aid), (QStringList{QString::number(aid), u"v_a"_s, u"v_b"_s, u"v_c"_s, u"v_d"_s, u"v_e"_s,
                                       u"v_f"_s, u"v_g"_s, u"v_i"_s, u"v_j"_s}));
    QCOMPARE(db.row(other).value(1), QStringLiteral("other.com"));
}

void TestDbLayer::statementErrorsCarryTheEngineMessage()
{
    TestDb db;
    QVERIFY(db.ok());
    Statement st(db.module()->Conn_service());
    st.setSql(QStringLiteral("insert into no_such_table (x) values (:a)"));
    st.setParam(QStringLiteral("a"), QStringLiteral("1"));
    QVERIFY(st.exec().error().contains(QStringLiteral("no such table")));

    // A parameter without a value is an error, not a silent NULL.
    st.setSql(sql::kInsertDomain);
    st.setParam(QStringLiteral("a"), QStringLiteral("x.com"));
    QVERIFY(st.exec().error().contains(QStringLiteral(":b")));
    QCOMPARE(db.countRows(), 0);

    // A trigger that rejects the row: its message reaches the caller and nothing is stored.
    QCOMPARE(db.exec(QStringLiteral("create trigger no_bad before insert on tt_a when new.a1 = 'bad' "
                                    "begin select raise(abort, 'value rejected'); end")),
             QString());
    st.setSql(sql::kInsertDomain);
    for (const QString& name : st.parameterNames())
        st.setParam(name, QStringLiteral("bad"));
    QCOMPARE(st.exec().error(), QStringLiteral("value rejected"));
    QCOMPARE(db.countRows(), 0);
}

void TestDbLayer::reopenRepeatsStatementAndParameters()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("alpha.com")});
    db.insert({QStringLiteral("beta.net")});
    Dataset* q = db.queryA();
    QCOMPARE(q->replaceStatement(sql::kSearch, {{QStringLiteral("q"), QStringLiteral("net")}}).error(),
             QString());
    QCOMPARE(q->recordCount(), 1);
    db.insert({QStringLiteral("gamma.net")});
    db.insert({QStringLiteral("delta.com")});
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(q->sql(), sql::kSearch);
    QCOMPARE(columnTexts(q, QStringLiteral("a1")),
             (QStringList{QStringLiteral("gamma.net"), QStringLiteral("beta.net")}));
}

void TestDbLayer::failedOpenLeavesTheDatasetClosed()
{
    TestDb db;
    QVERIFY(db.ok());
    db.insert({QStringLiteral("alpha.com")});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    QCOMPARE(q->recordCount(), 1);
    QSignalSpy reset(q, &Dataset::rowsReset);
    const QString error = q->replaceStatement(QStringLiteral("select * from tt_a where")).error();
    QVERIFY(error.contains(QStringLiteral("syntax error")));
    QVERIFY(!q->isOpen());
    QCOMPARE(q->recordCount(), 0);
    QCOMPARE(q->currentRow(), -1);
    QCOMPARE(q->fieldText(QStringLiteral("a1")), QString());
    QVERIFY(reset.count() >= 1);
    QVERIFY(!q->setSort(QStringLiteral("a1 ASC")).ok());
    QVERIFY(!q->deleteCurrent().ok());
}

void TestDbLayer::searchIsBoundAndKeepsWildcards_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("substring, any case") << "EXAMPLE" << QStringList{u"my-example.cn"_s, u"example.com"_s};
    QTest::newRow("empty lists all") << ""
                                     << QStringList{u"it's.net"_s, u"a_b.com"_s,       u"axb.com"_s,
                                                    u"100%.org"_s, u"my-example.cn"_s, u"example.com"_s};
    QTest::newRow("quote is searched for") << "'" << QStringList{u"it's.net"_s};
    QTest::newRow("underscore is a wildcard") << "a_b" << QStringList{u"a_b.com"_s, u"axb.com"_s};
    QTest::newRow("percent is a wildcard") << "0%o" << QStringList{u"100%.org"_s};
    QTest::newRow("statement text is not injected") << "' or 1=1 --" << QStringList{};
    QTest::newRow("backslash") << "\\" << QStringList{};
    QTest::newRow("very long") << QString(10000, QLatin1Char('e')) << QStringList{};
}

void TestDbLayer::searchIsBoundAndKeepsWildcards()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"example.com", "my-example.cn", "100%.org", "axb.com", "a_b.com", "it's.net"})
        db.insert({QString::fromUtf8(name)});
    QCOMPARE(db.queryA()->replaceStatement(sql::kSearch, {{QStringLiteral("q"), text}}).error(), QString());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")), expected);
}

void TestDbLayer::sortIsNaturalAndStable_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("sortText");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("numbers by value") << QStringList{u"100"_s, u"20"_s, u"3"_s, u""_s} << "a9 ASC"
                                      << QStringList{u""_s, u"3"_s, u"20"_s, u"100"_s};
    QTest::newRow("numbers descending")
        << QStringList{u"100"_s, u"20"_s, u"3"_s} << "a9 DESC" << QStringList{u"100"_s, u"20"_s, u"3"_s};
    QTest::newRow("names with digits") << QStringList{u"a10.com"_s, u"a9.com"_s, u"A1.com"_s} << "a9 ASC"
                                       << QStringList{u"A1.com"_s, u"a9.com"_s, u"a10.com"_s};
    QTest::newRow("dates") << QStringList{u"2024-10-01"_s, u"2024-9-30"_s, u"2023-12-31"_s} << "a9 ASC"
                           << QStringList{u"2023-12-31"_s, u"2024-9-30"_s, u"2024-10-01"_s};
    QTest::newRow("chinese") << QStringList{u"中国"_s, u"阿里"_s, u"北京"_s} << "a9 ASC"
                             << QStringList{u"阿里"_s, u"北京"_s, u"中国"_s};
}

void TestDbLayer::sortIsNaturalAndStable()
{
    QFETCH(QStringList, values);
    QFETCH(QString, sortText);
    QFETCH(QStringList, expected);
    TestDb db;
    QVERIFY(db.ok());
    for (const QString& v : values)
        db.insert({QStringLiteral("d.com"), {}, {}, {}, {}, {}, {}, {}, v});
    QCOMPARE(db.queryA()->open().error(), QString());
    QSignalSpy reset(db.queryA(), &Dataset::rowsReset);
    QCOMPARE(db.queryA()->setSort(sortText).error(), QString());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a9")), expected);
    QCOMPARE(db.queryA()->sort(), sortText);
}

void TestDbLayer::sortIsGoneAfterReopen()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"b.com", "c.com", "a.com"})
        db.insert({QString::fromUtf8(name)});
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(db.queryA()->setSort(QStringLiteral("a1 ASC")).error(), QString());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{u"a.com"_s, u"b.com"_s, u"c.com"_s}));
    // Equal keys keep their order (stable), here by aid descending.
    QCOMPARE(db.queryA()->open().error(), QString());
    QCOMPARE(db.queryA()->sort(), QString());
    QCOMPARE(columnTexts(db.queryA(), QStringLiteral("a1")),
             (QStringList{u"a.com"_s, u"c.com"_s, u"b.com"_s}));
}

void TestDbLayer::currentRowMoves()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"a.com", "b.com", "c.com"})
        db.insert({QString::fromUtf8(name)});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    QSignalSpy moved(q, &Dataset::currentRowChanged);
    QCOMPARE(q->currentRow(), 0);
    QVERIFY(!q->prior());
    QVERIFY(q->next());
    QVERIFY(q->next());
    QVERIFY(!q->next());
    QCOMPARE(q->currentRow(), 2);
    QCOMPARE(q->fieldText(QStringLiteral("a1")), QStringLiteral("a.com"));
    QCOMPARE(moved.count(), 2);
    q->setCurrentRow(99);
    QCOMPARE(q->currentRow(), 2);
}

void TestDbLayer::deleteMovesToTheFollowingRow()
{
    TestDb db;
    QVERIFY(db.ok());
    for (const char* name : {"a.com", "b.com", "c.com", "d.com"})
        db.insert({QString::fromUtf8(name)});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());                            // d c b a
    QCOMPARE(q->setSort(QStringLiteral("a1 ASC")).error(), QString()); // a b c d
    q->setCurrentRow(1);
    QSignalSpy removed(q, &Dataset::rowRemoved);
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().first().toInt(), 1);
    // The sort stays, the following row is current, the row is gone from the file.
    QCOMPARE(columnTexts(q, QStringLiteral("a1")), (QStringList{u"a.com"_s, u"c.com"_s, u"d.com"_s}));
    QCOMPARE(q->fieldText(QStringLiteral("a1")), QStringLiteral("c.com"));
    QCOMPARE(db.countRows(), 3);
    q->last();
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(q->fieldText(QStringLiteral("a1")), QStringLiteral("c.com"));
    QCOMPARE(q->currentRow(), 1);
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(q->deleteCurrent().error(), QString());
    QCOMPARE(q->recordCount(), 0);
    QCOMPARE(q->currentRow(), -1);
    QCOMPARE(db.countRows(), 0);
    QVERIFY(!q->deleteCurrent().ok());
}

void TestDbLayer::appendStoresAtOnceAndBecomesCurrent()
{
    TestDb db;
    QVERIFY(db.ok());
    const qint64 before = db.insert({QStringLiteral("old.com")});
    Dataset* q = db.queryA();
    QCOMPARE(q->open().error(), QString());
    const QStringList values{u"new.com"_s,    u"说明"_s, u"reg"_s, u"http://x"_s, u"2024-01-01"_s,
                             u"2025-01-01"_s, u"n\nn"_s, u"pw"_s,  u"100"_s};
    QCOMPARE(q->append(values).error(), QString());
    QCOMPARE(q->recordCount(), 2);
    QCOMPARE(q->currentRow(), 1);
    const QStringList held = q->rowValues(1);
    QVERIFY(held.first().toLongLong() > before);
    QCOMPARE(held.mid(1), values);
    QCOMPARE(db.row(held.first().toLongLong()), held);
    // Fewer values leave the rest empty.
    QCOMPARE(q->append({QStringLiteral("short.com")}).error(), QString());
    QCOMPARE(q->rowValues(2).mid(2), QStringList(8, QString()));
}

void TestDbLayer::settingsUpdatesAddressTheSettingsRow()
{
    TestDb db;
    QVERIFY(db.ok());
    Statement set(db.module()->Conn_service());
    set.setSql(sql::kSetPassword);
    set.setParam(QStringLiteral("a"), QStringLiteral("0123"));
    set.setParam(QStringLiteral("b"), QStringLiteral("1"));
    set.setParam(QStringLiteral("d"), QStringLiteral("1"));
    set.setParam(QStringLiteral("c"), QStringLiteral("8"));
    QCOMPARE(set.exec().error(), QString());
    QCOMPARE(db.setting(QStringLiteral("ub1")), QStringLiteral("0123"));
    QCOMPARE(db.setting(QStringLiteral("ub2")), QStringLiteral("1"));
    QCOMPARE(db.setting(QStringLiteral("ub4")), QStringLiteral("1"));
    set.setSql(sql::kPasswordOff);
    set.setParam(QStringLiteral("b"), QStringLiteral("0"));
    set.setParam(QStringLiteral("d"), QStringLiteral("0"));
    set.setParam(QStringLiteral("c"), QStringLiteral("8"));
    QCOMPARE(set.exec().error(), QString());
    QCOMPARE(db.setting(QStringLiteral("ub1")), QStringLiteral("0123"));
    QCOMPARE(db.setting(QStringLiteral("ub2")), QStringLiteral("0"));
    QCOMPARE(db.setting(QStringLiteral("ub4")), QStringLiteral("0"));
    Dataset* s = db.module()->Query_jz_ub();
    QCOMPARE(s->replaceStatement(sql::kSettingsAll).error(), QString());
    QCOMPARE(s->fieldText(QStringLiteral("ub2")), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestDbLayer)
#include "tst_db.moc"
