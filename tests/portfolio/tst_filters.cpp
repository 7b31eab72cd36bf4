// The filters above the domain list as a user works them: the drop-downs with their counts, the price
// range, the chips and 清除, the status bar's links setting the 到期 filter, and the totals that follow.
#include "TestDb.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "portfolio/FilterStrip.h"
#include "portfolio/Fr_guanli.h"
#include "portfolio/PortfolioStatus.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QtTest>
#include <array>

namespace {
const QDate kToday(2026, 3, 1);

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list << QString::fromUtf8(item);
    return list;
}

// Seven domains, oldest first: name, registrar, expiry date, price.
const QList<std::array<const char*, 4>> kDomains = {
    {"a.com", "阿里云", "2027-05-01", "20000"},   {"b.cn", "阿里云", "2027-06-01", "15,000"},
    {"c.cn", "万网", "2027-07-01", "30000"},      {"d.com.cn", "阿里云", "2026-03-10", "500"},
    {"e.cn", "阿里云", "2026-02-01", "面议"},     {"f.CN", "阿里云", "2027-01-01", "9000"},
    {"g.中国", "GoDaddy", "2028-01-01", "12000"},
};

struct View
{
    View()
    {
        for (const auto& d : kDomains) {
            const QStringList v = texts({d[0], d[1], d[2], d[3]});
            db.insert({v[0], {}, v[1], {}, {}, v[2], {}, {}, v[3]});
        }
        QVERIFY(db.queryA()->open().ok());
        panel.resize(900, 640);
        panel.bindData(db.module());
        panel.show();
    }
    QStringList listed() const { return columnTexts(db.queryA(), QStringLiteral("a1")); }
    template <class T> T* find(const char* name) const { return panel.findChild<T*>(QLatin1String(name)); }
    QString status(const char* name) const
    {
        const auto* label = panel.statusStrip()->findChild<QLabel*>(QLatin1String(name));
        return label ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : QStringLiteral("?");
    }
    // The items of a drop-down as its popup shows them (counted as it opens).
    QStringList items(const char* box) const
    {
        QComboBox* combo = find<QComboBox>(box);
        combo->showPopup();
        combo->hidePopup();
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }
    // Chooses an item as a user does: opens the popup, then picks the item shown as `text`.
    void choose(const char* box, const QString& text)
    {
        QComboBox* combo = find<QComboBox>(box);
        combo->showPopup();
        const int at = combo->findText(text);
        combo->hidePopup();
        QVERIFY2(at >= 0, qPrintable(text));
        combo->setCurrentIndex(at);
    }
    FilterStrip* strip() const { return panel.filterStrip(); }
    TestDb db;
    TFr_guanli panel;
};
} // namespace

class TestListFilters : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { Platform::setTodayHook({}); }
    void init() { MessageBox::clearShown(); }

    void choicesCarryCounts();
    void theQuestionInAFewClicks();
    void chipsTakeOneFilterAwayAndClearTakesAll();
    void priceBoxes();
    void linksSetTheExpiryFilter();
    void nothingPassesSaysSo();
    void keyboard();
    void clickInThePopup();

private:
    QTemporaryDir m_config;
};

void TestListFilters::initTestCase()
{
    MessageBox::setTestMode(true);
    Platform::setTodayHook([] { return kToday; });
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
}

void TestListFilters::choicesCarryCounts()
{
    View v;
    QCOMPARE(v.items("cmbFilterRegistrar"), texts({"全部", "阿里云 (5)", "GoDaddy (1)", "万网 (1)"}));
    QCOMPARE(v.items("cmbFilterEnding"), texts({"全部", ".cn (4)", ".com (1)", ".com.cn (1)", ".中国 (1)"}));
    QCOMPARE(v.items("cmbFilterExpiry"),
             texts({"全部", "已过期", "30 天内", "90 天内", "2026 年 (2)", "2027 年 (4)", "2028 年 (1)"}));
    // Within a search, the counts are those of the domains it finds.
    v.panel.searchBox()->setText(QStringLiteral(".c"));
    QCOMPARE(v.items("cmbFilterRegistrar"), texts({"全部", "阿里云 (5)", "万网 (1)"}));
    // A registrar chosen stays a choice when the search no longer finds it.
    v.choose("cmbFilterRegistrar", QStringLiteral("万网 (1)"));
    v.panel.searchBox()->setText(QStringLiteral("a."));
    QCOMPARE(v.items("cmbFilterRegistrar"), texts({"全部", "阿里云 (1)", "万网 (1)"}));
    QCOMPARE(v.find<QComboBox>("cmbFilterRegistrar")->currentText(), QStringLiteral("万网 (1)"));
    QCOMPARE(v.listed(), QStringList());
}

void TestListFilters::theQuestionInAFewClicks()
{
    // Which .cn names at 阿里云 expire in 2027 and are priced over 5,000 元?
    View v;
    v.choose("cmbFilterEnding", QStringLiteral(".cn (4)"));
    v.choose("cmbFilterRegistrar", QStringLiteral("阿里云 (5)"));
    v.choose("cmbFilterExpiry", QStringLiteral("2027 年 (4)"));
    QTest::keyClicks(v.find<QLineEdit>("edtPriceMin"), QStringLiteral("5000"));
    QCOMPARE(v.listed(), texts({"f.CN", "b.cn"}));
    QCOMPARE(v.strip()->chipTexts(),
             texts({"注册商：阿里云", "后缀：.cn", "到期：2027 年", "报价：5,000 元以上"}));
    // The status bar counts the list shown.
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 2 个"));
    QCOMPARE(v.status("lblPriceSum"), QStringLiteral("报价合计 24,000 元"));
    QCOMPARE(v.status("lnkExpired"), QStringLiteral("已过期 0 个"));
    // An upper bound as well.
    QTest::keyClicks(v.find<QLineEdit>("edtPriceMax"), QStringLiteral("10,000"));
    QCOMPARE(v.listed(), texts({"f.CN"}));
    QCOMPARE(v.strip()->chipTexts().last(), QStringLiteral("报价：5,000 – 10,000 元"));
}

void TestListFilters::chipsTakeOneFilterAwayAndClearTakesAll()
{
    View v;
    v.panel.searchBox()->setText(QStringLiteral("."));
    v.choose("cmbFilterRegistrar", QStringLiteral("阿里云 (5)"));
    v.choose("cmbFilterExpiry", QStringLiteral("已过期"));
    QCOMPARE(v.listed(), texts({"e.cn"}));
    QCOMPARE(v.status("lnkExpired"), QStringLiteral("已过期 1 个"));

    // The 到期 chip's × takes that filter alone away.
    QList<QToolButton*> chips = v.strip()->findChildren<QToolButton*>(QStringLiteral("filterChip"));
    QToolButton* expiryChip = nullptr;
    for (QToolButton* chip : chips) {
        if (chip->text().startsWith(QStringLiteral("到期")))
            expiryChip = chip;
    }
    QVERIFY(expiryChip);
    QVERIFY(expiryChip->text().endsWith(QStringLiteral("×")));
    expiryChip->click();
    QCOMPARE(v.strip()->chipTexts(), texts({"注册商：阿里云"}));
    QCOMPARE(v.find<QComboBox>("cmbFilterExpiry")->currentText(), QStringLiteral("全部"));
    QCOMPARE(v.listed(), texts({"f.CN", "e.cn", "d.com.cn", "b.cn", "a.com"}));
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 5 个"));

    // 清除 clears the search and every filter.
    v.find<QPushButton>("btnClear")->click();
    QCOMPARE(v.panel.searchBox()->text(), QString());
    QCOMPARE(v.strip()->chipTexts(), QStringList());
    QVERIFY(!v.find<QWidget>("filterChips")->isVisible());
    QCOMPARE(v.find<QComboBox>("cmbFilterRegistrar")->currentText(), QStringLiteral("全部"));
    QCOMPARE(v.listed().size(), 7);
    QCOMPARE(v.status("lblDomainCount"), QStringLiteral("域名 7 个"));
}

void TestListFilters::priceBoxes()
{
    View v;
    QLineEdit* low = v.find<QLineEdit>("edtPriceMin");
    // Not a number: said at the box, and no bound set.
    low->insert(QStringLiteral("1万")); // as pasted
    QVERIFY(!low->toolTip().isEmpty());
    QCOMPARE(v.listed().size(), 7);
    QCOMPARE(v.strip()->chipTexts(), QStringList());
    low->clear();
    QVERIFY(low->toolTip().isEmpty());
    QTest::keyClicks(low, QStringLiteral("15,000"));
    QCOMPARE(v.listed(), texts({"c.cn", "b.cn", "a.com"}));

    // 报价不是数字 lists the prices left out of the sum, and puts the range out of use meanwhile.
    v.find<QCheckBox>("chkPriceNotNumber")->setChecked(true);
    QCOMPARE(v.listed(), texts({"e.cn"}));
    QVERIFY(!low->isEnabled());
    QCOMPARE(v.strip()->chipTexts(), texts({"报价不是数字"}));
    v.find<QCheckBox>("chkPriceNotNumber")->setChecked(false);
    QVERIFY(low->isEnabled());
    QCOMPARE(v.listed().size(), 3);
}

void TestListFilters::linksSetTheExpiryFilter()
{
    View v;
    emit v.panel.statusStrip()->findChild<QLabel*>(QStringLiteral("lnkExpiring"))->linkActivated({});
    QCOMPARE(v.listed(), texts({"d.com.cn"}));
    QCOMPARE(v.find<QComboBox>("cmbFilterExpiry")->currentText(), QStringLiteral("30 天内"));
    QCOMPARE(v.strip()->chipTexts(), texts({"到期：30 天内"}));
    // Another choice in the drop-down filters the search of the box again, not the link's list.
    v.choose("cmbFilterExpiry", QStringLiteral("全部"));
    QCOMPARE(v.listed().size(), 7);
    QCOMPARE(v.strip()->chipTexts(), QStringList());
    v.choose("cmbFilterExpiry", QStringLiteral("2027 年 (4)"));
    QCOMPARE(v.listed(), texts({"f.CN", "c.cn", "b.cn", "a.com"}));
    emit v.panel.statusStrip()->findChild<QLabel*>(QStringLiteral("lnkExpired"))->linkActivated({});
    QCOMPARE(v.strip()->chipTexts(), texts({"到期：已过期"}));
    QCOMPARE(v.listed(), texts({"e.cn"}));
    // Its chip brings the whole list back.
    v.strip()->findChild<QToolButton*>(QStringLiteral("filterChip"))->click();
    QCOMPARE(v.listed().size(), 7);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestListFilters::nothingPassesSaysSo()
{
    View v;
    auto* notFound = v.find<QLabel>("lblNotFound");
    v.choose("cmbFilterRegistrar", QStringLiteral("GoDaddy (1)"));
    v.choose("cmbFilterExpiry", QStringLiteral("已过期"));
    QCOMPARE(v.listed(), QStringList());
    QCOMPARE(v.panel.notFoundText(), QStringLiteral("没有符合筛选条件的域名"));
    v.panel.searchBox()->setText(QStringLiteral("g"));
    QCOMPARE(v.panel.notFoundText(), QStringLiteral("没有找到包含“g”且符合筛选条件的域名"));
    v.find<QPushButton>("btnClear")->click();
    QVERIFY(!notFound->isVisible());
}

void TestListFilters::keyboard()
{
    View v;
    v.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&v.panel));
    auto* registrar = v.find<QComboBox>("cmbFilterRegistrar");
    // Alt+R goes to the 注册商 drop-down; the arrow keys go through its choices, counted on arrival.
    QTest::keyClick(&v.panel, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), registrar);
    QTest::keyClick(registrar, Qt::Key_Down);
    QCOMPARE(registrar->currentText(), QStringLiteral("阿里云 (5)"));
    QCOMPARE(v.listed().size(), 5);
    // Tab goes on to 后缀, 到期 and the price boxes; Alt+N toggles 报价不是数字.
    QTest::keyClick(registrar, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), v.find<QWidget>("cmbFilterEnding"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), v.find<QWidget>("cmbFilterExpiry"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), v.find<QWidget>("edtPriceMin"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
    QTRY_VERIFY(v.find<QCheckBox>("chkPriceNotNumber")->isChecked());
    QCOMPARE(v.listed(), texts({"e.cn"}));
    // A chip is reached with Tab and taken away with Space.
    QToolButton* chip = v.strip()->findChild<QToolButton*>(QStringLiteral("filterChip"));
    QVERIFY(chip->focusPolicy() & Qt::TabFocus);
    chip->setFocus();
    QTest::keyClick(chip, Qt::Key_Space);
    QCOMPARE(v.strip()->chipTexts(), texts({"报价不是数字"}));
}

// A click on an item of the open drop-down chooses it (the choices are not counted afresh under it).
void TestListFilters::clickInThePopup()
{
    View v;
    v.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&v.panel));
    auto* registrar = v.find<QComboBox>("cmbFilterRegistrar");
    registrar->setFocus();
    registrar->showPopup();
    QAbstractItemView* view = registrar->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex item = view->model()->index(registrar->findText(QStringLiteral("万网 (1)")), 0);
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseMove(view->viewport(), at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(registrar->currentText(), QStringLiteral("万网 (1)"));
    QCOMPARE(v.listed(), texts({"c.cn"}));
}

QTEST_MAIN(TestListFilters)
#include "tst_filters.moc"
