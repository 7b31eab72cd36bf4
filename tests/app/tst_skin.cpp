#include "app/Mian.h"
#include "app/NavigationBar.h"
#include "app/Skin.h"
#include "lock/Fr_wel.h"
#include "platform/Dialogs.h"

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kSources = QStringLiteral(LANSHU_TEST_DATA "/../../src");

// The darkest grey level among the pixels of an area of a picture (0 black, 255 white).
int darkest(const QImage& image, const QRect& area)
{
    int level = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            level = std::min(level, qGray(image.pixel(x, y)));
    return level;
}

// Whether a text holds a Han character.
bool hasChinese(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}
} // namespace

class TestSkin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void styleSheetPicturesExist();
    void everyPictureTheCodeNamesExists();
    void everyPictureIsDrawable();
    void bannerTilesWithoutSeam();
    void standardDialogsSpeakChinese();
    void messageBoxesKeepTheirTexts_data();
    void messageBoxesKeepTheirTexts();
    void chosenNavigationItemIsMarked();
    void disabledNavigationItemGreysItsLabel();
    void chosenItemFollowsThePanelShown();
    void welcomePanelNothingOverlaps_data();
    void welcomePanelNothingOverlaps();

private:
    bool m_translated = false;
};

void TestSkin::initTestCase()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    Skin::apply(*app);
    // Applying loads the translations; asking again only tells whether they are there.
    m_translated = Skin::installTranslations(*app);
}

void TestSkin::styleSheetPicturesExist()
{
    const QString qss = Skin::styleSheet();
    QVERIFY(!qss.isEmpty());
    QCOMPARE(qApp->styleSheet(), qss);
    // Every picture the style sheet names is compiled in.
    static const QRegularExpression url(QStringLiteral(R"(url\(\s*["']?([^"')]+)["']?\s*\))"));
    for (auto it = url.globalMatch(qss); it.hasNext();) {
        const QString path = it.next().captured(1);
        QVERIFY2(QFile::exists(path), qPrintable(path));
    }
}

void TestSkin::everyPictureTheCodeNamesExists()
{
    // The code names its pictures as ":/icons/…", ":/pictures/…" or ":/skin/…", sometimes with "%1" for a
    // name chosen at run time; each fixed name must be in the program.
    static const QRegularExpression name(
        QStringLiteral(R"re(":/(icons|pictures|skin)/([A-Za-z0-9_]+\.(svg|png|qss))")re"));
    int checked = 0;
    QDirIterator files(kSources, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = name.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            const QString path = QStringLiteral(":/%1/%2").arg(match.captured(1), match.captured(2));
            QVERIFY2(QFile::exists(path), qPrintable(file.fileName() + QStringLiteral(": ") + path));
            ++checked;
        }
    }
    QVERIFY(checked > 0);
}

void TestSkin::everyPictureIsDrawable()
{
    int count = 0;
    for (const QString& folder :
         {QStringLiteral(":/icons"), QStringLiteral(":/pictures"), QStringLiteral(":/skin")}) {
        QDirIterator it(folder, {QStringLiteral("*.svg")}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QSvgRenderer renderer(path);
            QVERIFY2(renderer.isValid(), qPrintable(path));
            QVERIFY2(!renderer.defaultSize().isEmpty(), qPrintable(path));
            ++count;
        }
    }
    QVERIFY(QFile::exists(QStringLiteral(":/skin/lanshu.svg")));
    QVERIFY(count > 20);
}

void TestSkin::bannerTilesWithoutSeam()
{
    // The welcome strip's ground repeats across the width: its left and right edges must meet.
    QSvgRenderer renderer(QStringLiteral(":/pictures/wel_band.svg"));
    QVERIFY(renderer.isValid());
    const QSize size = renderer.defaultSize() * 2;
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    int worst = 0;
    for (int y = 0; y < size.height(); ++y) {
        const QColor left = image.pixelColor(0, y);
        const QColor right = image.pixelColor(size.width() - 1, y);
        worst = std::max({worst, std::abs(left.red() - right.red()), std::abs(left.green() - right.green()),
                          std::abs(left.blue() - right.blue())});
    }
    QVERIFY2(worst <= 6, qPrintable(QString::number(worst)));
}

void TestSkin::standardDialogsSpeakChinese()
{
    if (!m_translated)
        QSKIP("Qt's Chinese translations (qt6-translations-l10n) are not installed");
    // The program's own file dialog (not the desktop's), as the open and save dialogs show it.
    QFileDialog dialog(nullptr, QStringLiteral("打开"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    QVERIFY(lookIn && fileName);
    QVERIFY2(hasChinese(lookIn->text()), qPrintable(lookIn->text()));
    QVERIFY2(hasChinese(fileName->text()), qPrintable(fileName->text()));
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(buttons && buttons->button(QDialogButtonBox::Cancel));
    QVERIFY(hasChinese(buttons->button(QDialogButtonBox::Cancel)->text()));
    // The list's type column, which Qt's catalogue leaves in English.
    const QString folderType = QFileIconProvider().type(QFileInfo(QDir::tempPath()));
    QVERIFY2(hasChinese(folderType), qPrintable(folderType));
}

void TestSkin::messageBoxesKeepTheirTexts_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("information: OK") << int(MessageBox::Ok) << QStringList{QStringLiteral("OK")};
    QTest::newRow("question: OK and Cancel") << int(MessageBox::Ok | MessageBox::Cancel)
                                             << QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")};
}

void TestSkin::messageBoxesKeepTheirTexts()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, texts);
    // With Qt's own texts in Chinese, a plain box would say 确定; the program's boxes keep their texts.
    if (m_translated) {
        QMessageBox plain;
        plain.setStandardButtons(QMessageBox::Ok);
        QVERIFY(plain.button(QMessageBox::Ok)->text() != QStringLiteral("OK"));
    }
    QMessageBox box;
    MessageBox::prepare(box, MessageBox::Information, QStringLiteral("Information"),
                        QStringLiteral("请先添加域名"), buttons);
    QCOMPARE(box.windowTitle(), QStringLiteral("Information"));
    QCOMPARE(box.text(), QStringLiteral("请先添加域名"));
    QStringList shown;
    for (QAbstractButton* button : box.buttons())
        shown << button->text();
    shown.sort();
    texts.sort();
    QCOMPARE(shown, texts);
}

void TestSkin::chosenNavigationItemIsMarked()
{
    NavigationBar bar;
    const int section = bar.addSection(QStringLiteral("功 能"), QStringLiteral("section"));
    QToolButton* first = bar.addItem(section, QIcon(QStringLiteral(":/icons/notebook.svg")),
                                     QStringLiteral("域名管理"), QStringLiteral("first"));
    QToolButton* second = bar.addItem(section, QIcon(QStringLiteral(":/icons/signpost.svg")),
                                      QStringLiteral("域名买卖"), QStringLiteral("second"));
    bar.resize(88, 300);
    bar.show();
    QVERIFY(first->iconSize().width() >= 24);
    const QPoint ground(4, first->height() - 4); // a corner of the button, clear of icon and label
    const QColor plain = first->grab().toImage().pixelColor(ground);
    bar.setChosen(first);
    QCOMPARE(bar.chosen(), first);
    const QColor marked = first->grab().toImage().pixelColor(ground);
    // The chosen item stands out clearly from the ground: a strong difference in lightness.
    QVERIFY2(std::abs(plain.lightness() - marked.lightness()) > 60,
             qPrintable(plain.name() + QStringLiteral(" / ") + marked.name()));
    bar.setChosen(second);
    QCOMPARE(first->grab().toImage().pixelColor(ground), plain);
    bar.setChosen(nullptr);
    QCOMPARE(second->grab().toImage().pixelColor(ground), plain);
}

void TestSkin::disabledNavigationItemGreysItsLabel()
{
    NavigationBar bar;
    const int section = bar.addSection(QStringLiteral("设 置"), QStringLiteral("section"));
    QToolButton* item = bar.addItem(section, QIcon(QStringLiteral(":/icons/key.svg")),
                                    QStringLiteral("设置密码"), QStringLiteral("item"));
    bar.resize(88, 300);
    bar.show();
    // The label lies under the icon, in the lower part of the button; the bar is grabbed whole, so that
    // the button is seen on its ground.
    const QRect button(item->mapTo(&bar, QPoint()), item->size());
    const QRect label(button.left(), button.top() + button.height() / 2 + 8, button.width(),
                      button.height() / 2 - 10);
    const int enabledInk = darkest(bar.grab().toImage(), label);
    bar.setEnabled(false);
    const int disabledInk = darkest(bar.grab().toImage(), label);
    QVERIFY2(enabledInk < 110, qPrintable(QString::number(enabledInk)));
    QVERIFY2(disabledInk - enabledInk > 50,
             qPrintable(QStringLiteral("%1 -> %2").arg(enabledInk).arg(disabledInk)));
}

void TestSkin::chosenItemFollowsThePanelShown()
{
    Tmian w;
    NavigationBar* nav = w.bsSkinButtonsBar1();
    auto chosen = [nav] { return nav->chosen() ? nav->chosen()->objectName() : QString(); };
    w.showWelcomePanel();
    QCOMPARE(chosen(), QString());
    w.showTrading();
    QCOMPARE(chosen(), QStringLiteral("navJiaoyi"));
    w.showTools();
    QCOMPARE(chosen(), QStringLiteral("navGongju"));
    w.showPortfolio();
    QCOMPARE(chosen(), QStringLiteral("navGuanli"));
    // Only one item is marked at a time.
    int marked = 0;
    for (QToolButton* item : nav->findChildren<QToolButton*>())
        marked += item->property("chosen").toBool() ? 1 : 0;
    QCOMPARE(marked, 1);
    // Locking returns to the welcome panel, where no item is chosen.
    w.bsSkinSpeedButton3Click();
    QCOMPARE(chosen(), QString());
}

void TestSkin::welcomePanelNothingOverlaps_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("at the first size") << QSize(852, 593);
    QTest::newRow("maximised") << QSize(1832, 1015);
    QTest::newRow("wide and low") << QSize(1400, 560);
}

void TestSkin::welcomePanelNothingOverlaps()
{
    QFETCH(QSize, size);
    TFr_wel panel;
    panel.resize(size);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QRect all = panel.rect();
    auto place = [&panel](const char* name) {
        auto* widget = panel.findChild<QWidget*>(QLatin1String(name));
        return widget ? QRect(widget->mapTo(&panel, QPoint()), widget->size()) : QRect();
    };
    const QRect lock = place("bsSkinGroupBox1");
    const QRect news = place("bsSkinGroupBox2");
    const QRect chart = place("bsSkinLinkImage1");
    const QRect title = place("bsSkinLinkImage3");
    const QRect tlds = place("bsSkinLinkImage2");
    QCOMPARE(lock.size(), QSize(313, 177));
    for (const QRect& r : {lock, news, chart, title, tlds})
        QVERIFY(all.contains(r));
    QVERIFY(!lock.intersects(news));
    QVERIFY(!lock.intersects(chart));
    QVERIFY(!news.intersects(chart));
    QVERIFY(!title.intersects(tlds));
    QVERIFY(chart.height() > 100);
    // The news box keeps a width that reads well, however wide the window.
    QVERIFY(news.width() >= 240 && news.width() <= 640);
    // Inside the lock group: the keys picture, the label, the edit and the button each have their own place.
    auto in = [&panel](const char* name) {
        auto* widget = panel.lockGroup()->findChild<QWidget*>(QLatin1String(name));
        return widget ? widget->geometry() : QRect();
    };
    const QRect keys = in("bsSkinLinkImage6");
    const QList<QRect> controls{in("bsSkinStdLabel3"), in("Pass_edit"), in("bsSkinButton1")};
    for (const QRect& r : controls) {
        QVERIFY(!r.isEmpty());
        QVERIFY(!r.intersects(keys));
        QVERIFY(panel.lockGroup()->rect().contains(r));
    }
    QVERIFY(!controls[1].intersects(controls[2]));
    QVERIFY(!controls[0].intersects(controls[1]));
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
