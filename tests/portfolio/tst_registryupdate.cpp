#include "LocalServers.h"
#include "TestDb.h"
#include "db/Backup.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/RegistryReview.h"
#include "portfolio/RegistryUpdate.h"
#include "registry/AnswerLog.h"
#include "registry/LookupJob.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

using localservers::ace;
using localservers::fixture;

namespace {

// The rows of the review table: domain, field, stored, registry, ticked.
QList<QStringList> reviewRows(const RegistryReview& review)
{
    QList<QStringList> rows;
    const QAbstractItemModel* m = review.table()->model();
    auto text = [m](int r, int c) { return m->index(r, c).data().toString(); };
    for (int r = 0; r < m->rowCount(); ++r)
        rows << QStringList{text(r, 1), text(r, 2), text(r, 3), text(r, 4),
                            m->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked ? u"✓"_s
                                                                                           : QString()};
    return rows;
}
} // namespace

// The whole of 从注册局更新 on the portfolio panel: a .com name over RDAP, .cn and .中国 names over
// WHOIS (CNNIC's answer form), a free name; the review (scripted), the writing after a backup.
class TestRegistryUpdate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void updatesAfterReview();
    void reviewCancelledWritesNothing();
    void concurrentEditKeepsNewerValue();
    void offlineChangesNothing();
    void unknownSuffixChangesNothing();
    void cancelDuringLookup();
    void reviewDialogTicks();
    void progressText();

private:
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<TFr_guanli> m_panel;
    std::unique_ptr<localservers::Http> m_rdap;
    std::unique_ptr<localservers::Whois> m_whois;
    QList<qint64> m_aids;
};

void TestRegistryUpdate::init()
{
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    Platform::setNetworkHook([] { return true; });
    Platform::setTodayHook([] { return QDate(2026, 12, 10); });
    m_db = std::make_unique<TestDb>();
    QVERIFY2(m_db->ok(), qPrintable(m_db->error()));
    m_aids = {m_db->insert({u"example-portfolio.com"_s,
                            u"主力"_s,
                            u"MarkMonitor Inc."_s,
                            {},
                            u"1997-09-15"_s,
                            u"2026-09-14"_s}),
              m_db->insert({u"lanshu-example.cn"_s, {}, {}, {}, {}, {}}),
              m_db->insert({u"岚枢.中国"_s, {}, u"新网"_s, {}, u"2003-03-17"_s, u"2030-01-01"_s}),
              m_db->insert({u"vacant.cn"_s, {}, {}, {}, {}, u"2026-12-31"_s})};
    QVERIFY(m_db->queryA()->open().ok());
    m_panel = std::make_unique<TFr_guanli>();
    m_panel->resize(900, 600);
    m_panel->bindData(m_db->module());
    m_panel->show();

    m_rdap = std::make_unique<localservers::Http>();
    m_whois = std::make_unique<localservers::Whois>();
    m_rdap->serve("/rdap/domain/example-portfolio.com", {{200, fixture("rdap_com.json"), {}, false}});
    m_whois->serve("lanshu-example.cn", {fixture("whois_cnnic.txt")});
    m_whois->serve(ace(u"岚枢.中国"_s).toLatin1(), {fixture("whois_cnnic.txt")});
    registry::RdapBootstrap rdap;
    QVERIFY(
        rdap.parse(QStringLiteral(R"({"services":[[["com"],["%1rdap/"]]]})").arg(m_rdap->base()).toUtf8()));
    registry::WhoisServers whois;
    whois.parse(QStringLiteral("cn %1\nxn--fiqs8s %1\n").arg(m_whois->server()));
    registry::LookupOptions options;
    options.intervalMs = 20;
    options.timeoutMs = 3000;
    options.allowPlainHttp = true;
    registryupdate::setTestServers(registry::Directory(rdap, whois), options);
}

void TestRegistryUpdate::cleanup()
{
    registryupdate::clearTestServers();
    registryupdate::setReviewHook({});
    Platform::setNetworkHook({});
    Platform::setTodayHook({});
    MessageBox::setTestMode(false);
    m_panel.reset();
    m_db.reset();
}

void TestRegistryUpdate::updatesAfterReview()
{
    QList<QStringList> seen;
    QStringList notices;
    registryupdate::setReviewHook([&](RegistryReview& review) {
        seen = reviewRows(review);
        for (int i = 0; i < review.notices()->count(); ++i)
            notices << review.notices()->item(i)->text();
        return true;
    });
    // The toolbar's menu: 全部域名.
    auto* button = m_panel->findChild<QToolButton*>(u"btnRegistry"_s);
    QVERIFY(button);
    QCOMPARE(button->text(), u"从注册局更新"_s);
    const QList<QAction*> scopes = button->menu()->actions();
    QCOMPARE(scopes.size(), 3);
    QCOMPARE(scopes[2]->text(), u"全部域名"_s);
    scopes[2]->trigger();

    // What the review showed, in the order of the list (newest first), each with its default tick.
    QCOMPARE(seen,
             (QList<QStringList>{
                 {u"岚枢.中国"_s, u"过期日期"_s, u"2030-01-01"_s, u"2027-03-17"_s, QString()},
                 {u"岚枢.中国"_s, u"注册商"_s, u"新网"_s, u"阿里云计算有限公司（万网）"_s, QString()},
                 {u"lanshu-example.cn"_s, u"注册日期"_s, u"（空）"_s, u"2003-03-17"_s, u"✓"_s},
                 {u"lanshu-example.cn"_s, u"过期日期"_s, u"（空）"_s, u"2027-03-17"_s, u"✓"_s},
                 {u"lanshu-example.cn"_s, u"注册商"_s, u"（空）"_s, u"阿里云计算有限公司（万网）"_s, u"✓"_s},
                 {u"example-portfolio.com"_s, u"过期日期"_s, u"2026-09-14"_s, u"2028-09-14"_s, u"✓"_s},
             }));
    // The free name and the held names stand first among the notices.
    QCOMPARE(notices.size(), 3);
    QVERIFY(notices[0].startsWith(u"vacant.cn"_s) && notices[0].contains(u"未注册"_s));
    QVERIFY(notices[1].contains(u"serverHold"_s));

    // Written: the ticked values only, after a backup; the earlier date and the other registrar stay.
    QCOMPARE(m_db->row(m_aids[0])[6], u"2028-09-14"_s);
    QCOMPARE(m_db->row(m_aids[1]).mid(3, 4),
             (QStringList{u"阿里云计算有限公司（万网）"_s, QString(), u"2003-03-17"_s, u"2027-03-17"_s}));
    QCOMPARE(m_db->row(m_aids[2])[6], u"2030-01-01"_s);
    QCOMPARE(m_db->row(m_aids[2])[3], u"新网"_s);
    QCOMPARE(m_db->row(m_aids[3])[6], u"2026-12-31"_s);
    QCOMPARE(backup::copies(m_db->path()).size(), 1);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, u"已更新 2 个域名的 4 项信息。"_s);

    // The list shows the new values; the detail pane says when the registry was asked.
    QCOMPARE(m_db->queryA()->value(0, u"a6"_s), u"2026-12-31"_s);
    m_db->module()->domains()->setCurrentRow(3);
    QCOMPARE(m_db->module()->domains()->current().expires, u"2028-09-14"_s);
    const QString today = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    QCOMPARE(
        m_panel->findChild<QLabel*>(u"lblRegistryNote"_s)->text(),
        u"注册局信息：%1 查询，状态 client delete prohibited，client transfer prohibited，client update prohibited"_s
            .arg(today));
    m_db->module()->domains()->setCurrentRow(0);
    QCOMPARE(m_panel->findChild<QLabel*>(u"lblRegistryNote"_s)->text(),
             u"注册局信息：%1 查询，未注册"_s.arg(today));
    QVERIFY(QFile::exists(QDir(m_db->folder()).filePath(AnswerLog::kFileName)));
}

void TestRegistryUpdate::reviewCancelledWritesNothing()
{
    bool reviewed = false;
    registryupdate::setReviewHook([&](RegistryReview&) {
        reviewed = true;
        return false; // 取消
    });
    const QStringList before = m_db->row(m_aids[1]);
    m_panel->updateFromRegistries(2);
    QVERIFY(reviewed);
    QCOMPARE(m_db->row(m_aids[1]), before);
    QVERIFY(backup::copies(m_db->path()).isEmpty());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestRegistryUpdate::concurrentEditKeepsNewerValue()
{
    registryupdate::setReviewHook([&](RegistryReview&) {
        // Another window saves a new expiry date for the .com name while the review is open.
        [&] {
            QVERIFY(m_db->exec(u"update tt_a set a6='2031-01-01' where aid=%1"_s.arg(m_aids[0])).isEmpty());
        }();
        return true;
    });
    m_panel->updateFromRegistries(2);
    QCOMPARE(m_db->row(m_aids[0])[6], u"2031-01-01"_s);
    QCOMPARE(m_db->row(m_aids[1])[6], u"2027-03-17"_s);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Warning);
    QVERIFY(shown[0].text.contains(u"example-portfolio.com 过期日期：查询后已改为“2031-01-01”"_s));
}

void TestRegistryUpdate::offlineChangesNothing()
{
    Platform::setNetworkHook([] { return false; });
    registryupdate::setReviewHook([](RegistryReview&) {
        qFatal("no review while offline");
        return false;
    });
    m_panel->updateFromRegistries(2);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(u"没有连接到互联网"_s));
    QVERIFY(m_rdap->paths().isEmpty());
    QVERIFY(m_whois->names().isEmpty());
    QVERIFY(backup::copies(m_db->path()).isEmpty());
}

void TestRegistryUpdate::unknownSuffixChangesNothing()
{
    const qint64 odd = m_db->insert({u"example.zz"_s});
    QVERIFY(m_db->module()->domains()->reopen().ok());
    QCOMPARE(m_db->module()->domains()->current().aid, QString::number(odd));
    // The context action of the list: the current domain only.
    auto* action = m_panel->findChild<QAction*>(u"actRegistry"_s);
    QVERIFY(action);
    action->trigger();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, u"不知道这些后缀由哪个注册局管理，无法查询：.zz。域名列表没有改变。"_s);
    QVERIFY(m_rdap->paths().isEmpty());
}

void TestRegistryUpdate::cancelDuringLookup()
{
    m_whois->serve("lanshu-example.cn", {}); // never answers
    registryupdate::setReviewHook([](RegistryReview&) { return false; });
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QProgressDialog* seen = nullptr;
    QString label;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* progress = m_panel->findChild<QProgressDialog*>(u"registryProgress"_s);
        if (!progress || !m_whois->names().contains("lanshu-example.cn"))
            return;
        seen = progress;
        label = progress->labelText();
        poll.stop();
        // 取消, as the user presses it.
        for (QPushButton* button : progress->findChildren<QPushButton*>())
            if (button->text() == u"取消"_s)
                button->click();
    });
    poll.start(5);
    m_panel->updateFromRegistries(2);
    QVERIFY(seen);
    QVERIFY2(clock.elapsed() < 2500,
             qPrintable(QString::number(clock.elapsed()))); // the 3 s time-out not waited for
    QVERIFY(label.startsWith(u"正在查询 "_s) && label.endsWith(u" / 4 …"_s));
    QCOMPARE(m_db->row(m_aids[1])[6], QString());
    QVERIFY(backup::copies(m_db->path()).isEmpty());
}

void TestRegistryUpdate::reviewDialogTicks()
{
    registry::Comparison c;
    c.answered = 2;
    c.differences = {
        {u"1"_s,
         u"a.com"_s,
         registry::Field::Expires,
         u"2026-01-01"_s,
         u"2027-01-01"_s,
         true,
         false,
         false,
         {}},
        {u"2"_s, u"b.com"_s, registry::Field::Expires, u"2028-01-01"_s, u"2027-01-01"_s, false, true, false,
         u"注册局的日期早于现有日期"_s},
    };
    c.notices = {{registry::Notice::Kind::Failed, u"c.com"_s, u"查询失败：x"_s, false},
                 {registry::Notice::Kind::Unregistered, u"d.com"_s, u"未注册"_s, true}};
    RegistryReview review(c);
    QCOMPARE(review.ticked().size(), 1);
    QCOMPARE(review.notices()->item(0)->text(), u"d.com　未注册"_s); // prominent first
    QVERIFY(review.applyButton()->isEnabled());
    QAbstractItemModel* model = review.table()->model();
    // Space on the current row's tick, as the user untick it.
    review.table()->setCurrentIndex(model->index(0, 0));
    QTest::keyClick(review.table(), Qt::Key_Space);
    QVERIFY(!review.applyButton()->isEnabled());
    QVERIFY(model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(review.ticked().size(), 1);
    QCOMPARE(review.ticked()[0].domain, u"b.com"_s);
    QCOMPARE(review.applyButton()->text(), u"应用所选"_s);
}

void TestRegistryUpdate::progressText()
{
    QCOMPARE(registryupdate::progressText(123, 3000), u"正在查询 123 / 3,000 …"_s);
}

QTEST_MAIN(TestRegistryUpdate)
#include "tst_registryupdate.moc"
