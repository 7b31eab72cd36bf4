#include "Fr_wel.h"

#include "LockHost.h"
#include "LockRule.h"
#include "PasswordEdit.h"
#include "Set_mima.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"
#include "web/WebBrowser.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// A plain picture of the given logical size, drawn from its vector file (a missing file shows nothing).
QLabel* picture(const QString& name, QSize size, const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setFixedSize(size);
    label->setPixmap(QIcon(QStringLiteral(":/pictures/%1.svg").arg(name)).pixmap(size));
    return label;
}

// A picture that grows and shrinks with the room it is given, keeping its proportions, centred, and
// drawn afresh from its vector file for each size and screen scale, so that it stays sharp.
class ScaledPicture : public QLabel
{
public:
    ScaledPicture(const QString& name, QSize natural, qreal largest, QWidget* parent)
        : QLabel(parent), m_icon(QStringLiteral(":/pictures/%1.svg").arg(name)), m_natural(natural),
          m_largest(largest)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMinimumSize(natural / 4);
        setMaximumHeight(qRound(natural.height() * largest));
    }
    QSize sizeHint() const override { return m_natural; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QSizeF fitted = QSizeF(m_natural).scaled(QSizeF(contentsRect().size()), Qt::KeepAspectRatio);
        if (fitted.width() > m_natural.width() * m_largest)
            fitted = QSizeF(m_natural) * m_largest;
        QRect target(QPoint(), fitted.toSize());
        target.moveCenter(contentsRect().center());
        QPainter painter(this);
        painter.drawPixmap(target, m_icon.pixmap(target.size(), devicePixelRatioF()));
    }

private:
    QIcon m_icon;
    QSize m_natural;
    qreal m_largest;
};

// A strip whose ground is one picture repeated across its width (stretched to its height).
class TiledStrip : public QFrame
{
public:
    TiledStrip(const QString& name, QSize tile, QWidget* parent)
        : QFrame(parent), m_icon(QStringLiteral(":/pictures/%1.svg").arg(name)), m_tile(tile)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QSize tile(m_tile.width() * height() / m_tile.height(), height());
        const QPixmap pixmap = m_icon.pixmap(tile, devicePixelRatioF());
        QPainter painter(this);
        for (int x = 0; x < width(); x += tile.width())
            painter.drawPixmap(QRect(QPoint(x, 0), tile), pixmap);
        QFrame::paintEvent(event);
    }

private:
    QIcon m_icon;
    QSize m_tile;
};
} // namespace

TFr_wel::TFr_wel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Fr_wel1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Top strip: the product name at the left, domain endings at the right, on a ground of hills
    // that repeats across any width.
    auto* top = new TiledStrip(QStringLiteral("wel_band"), {240, 217}, this);
    top->setObjectName(QStringLiteral("bsSkinPanel1"));
    top->setFixedHeight(217);
    auto* topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->setSpacing(0);
    topRow->addWidget(
        picture(QStringLiteral("wel_title"), {460, 217}, QStringLiteral("bsSkinLinkImage3"), top));
    topRow->addStretch(1);
    topRow->addWidget(
        picture(QStringLiteral("wel_tlds"), {330, 217}, QStringLiteral("bsSkinLinkImage2"), top));
    layout->addWidget(top);

    // Bottom area: the news box at the left; at the right the lock group above the chart sheet, which
    // takes the room the lock group leaves. A larger window gives both more room; the news box stops
    // growing at a width that still reads well.
    auto* bottom = new QFrame(this);
    bottom->setObjectName(QStringLiteral("bsSkinPanel2"));
    bottom->setMinimumHeight(319);
    auto* bottomRow = new QHBoxLayout(bottom);
    bottomRow->setContentsMargins(10, 6, 10, 10);
    bottomRow->setSpacing(12);
    m_newsBox = new QGroupBox(QStringLiteral("资讯"), bottom);
    m_newsBox->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    m_newsBox->setMinimumWidth(240);
    m_newsBox->setMaximumWidth(640);
    bottomRow->addWidget(m_newsBox, 2);
    auto* newsLayout = new QVBoxLayout(m_newsBox);
    newsLayout->setContentsMargins(2, 2, 2, 2);
    m_news = new WebBrowser(m_newsBox);
    newsLayout->addWidget(m_news);
    auto* side = new QVBoxLayout;
    side->setSpacing(8);
    bottomRow->addLayout(side, 3);
    auto* chart = new ScaledPicture(QStringLiteral("wel_chart"), {485, 319}, 1.5, bottom);
    chart->setObjectName(QStringLiteral("bsSkinLinkImage1"));
    layout->addWidget(bottom, 1);

    // The lock group, 313 × 177, right of the news box.
    m_lockGroup = new QGroupBox(QStringLiteral("软件已锁定"), bottom);
    m_lockGroup->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    m_lockGroup->setFixedSize(313, 177);
    // The lock group and the chart stay together, in the middle of the height they have.
    side->addStretch(1);
    side->addWidget(m_lockGroup, 0, Qt::AlignHCenter);
    side->addWidget(chart, 100); // the chart first, up to its largest size; the rest around both
    side->addStretch(1);
    picture(QStringLiteral("lock_band"), {311, 75}, QStringLiteral("bsSkinLinkImage5"), m_lockGroup)
        ->move(1, 18);
    picture(QStringLiteral("lock_keys"), {105, 129}, QStringLiteral("bsSkinLinkImage6"), m_lockGroup)
        ->move(6, 44);
    auto* passLabel = new QLabel(QStringLiteral("密 码:"), m_lockGroup);
    passLabel->setObjectName(QStringLiteral("bsSkinStdLabel3"));
    m_passEdit = new PasswordEdit(m_lockGroup);
    m_passEdit->setObjectName(QStringLiteral("Pass_edit"));
    passLabel->setBuddy(m_passEdit);
    m_unlock =
        new QPushButton(QIcon(QStringLiteral(":/icons/key.svg")), QStringLiteral("  解  锁"), m_lockGroup);
    m_unlock->setObjectName(QStringLiteral("bsSkinButton1"));
    m_unlock->setDefault(true); // Enter on the button unlocks
    passLabel->setGeometry(122, 104, 44, 24);
    m_passEdit->setGeometry(168, 104, 130, 24);
    m_unlock->setGeometry(198, 138, 100, 28);
    setTabOrder(m_passEdit, m_unlock);

    // The unlock button acts only while the lock group is on screen.
    connect(m_unlock, &QPushButton::clicked, this, [this] {
        if (m_lockGroup->isVisible())
            bsSkinButton1Click();
    });
    // Enter in the password edit presses the unlock button; never while the lock group is hidden.
    connect(m_passEdit, &QLineEdit::returnPressed, this, [this] {
        if (m_lockGroup->isVisible())
            m_unlock->click();
    });
    m_lockGroup->installEventFilter(this);
}

bool TFr_wel::eventFilter(QObject* watched, QEvent* event)
{
    // Whenever the lock group appears, the password can be typed at once.
    if (watched == m_lockGroup && event->type() == QEvent::Show)
        m_passEdit->setFocus();
    return QWidget::eventFilter(watched, event);
}

void TFr_wel::attachPasswordDialog(Tset_mima* dialog)
{
    if (dialog)
        dialog->setHost(m_host, m_lockGroup);
}

void TFr_wel::applyLockRule()
{
    if (m_data)
        ApplyLockRule(m_data->settings()->lockFlag(), m_lockGroup, m_host);
}

void TFr_wel::bsSkinButton1Click()
{
    const QString stored = m_data ? m_data->settings()->password() : QString();
    if (m_passEdit->text() != stored) {
        MessageBox::information(this, QStringLiteral("您输入的密码错误"));
        if (m_host)
            m_host->setNavigationEnabled(false);
    } else {
        if (m_host)
            m_host->setNavigationEnabled(true);
        // The headings of the first two columns ("域名", "报价") and the default list.
        if (m_data) {
            if (const Result result = m_data->domains()->showDefault(2); !result.ok()) {
                MessageBox::appError(this, result.error());
                return;
            }
        }
        if (m_host)
            m_host->showPortfolioPanel();
    }
    m_passEdit->clear();
}
