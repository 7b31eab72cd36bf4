#include "About.h"

#include "GuideWidgets.h"
#include "Version.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/Site.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QShowEvent>
#include <QTextEdit>
#include <QUrl>

namespace {
// The site's address as people write it: the host alone.
QString siteHost()
{
    const QString host = QUrl(site::kHomePage).host();
    return host.isEmpty() ? site::kHomePage : host;
}

QFont songti(int pixels)
{
    QFont f;
    f.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                   QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(pixels);
    return f;
}

// Image1: the green banner with the product name in large white letters and the site's address under it.
class Banner : public QWidget
{
public:
    explicit Banner(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Image1"));
        setFixedSize(497, 80);
        setAccessibleName(QStringLiteral("岚枢 ") + siteHost());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        QLinearGradient green(r.topLeft(), r.bottomLeft());
        green.setColorAt(0, QColor(0x5D, 0xB8, 0x5D));
        green.setColorAt(1, QColor(0x2E, 0x7D, 0x2E));
        p.fillRect(r, green);
        QLinearGradient shine(r.topLeft(), r.topRight());
        shine.setColorAt(0, QColor(255, 255, 255, 46));
        shine.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(0, 0, r.width(), 36), shine);
        // Hills on the right.
        p.setPen(Qt::NoPen);
        QPainterPath far;
        far.moveTo(250, 80);
        for (const QPointF& pt : {QPointF(310, 44), QPointF(344, 62), QPointF(398, 22), QPointF(452, 58),
                                  QPointF(476, 46), QPointF(497, 56), QPointF(497, 80)})
            far.lineTo(pt);
        far.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 26));
        p.drawPath(far);
        QPainterPath near;
        near.moveTo(300, 80);
        for (const QPointF& pt :
             {QPointF(360, 58), QPointF(410, 72), QPointF(460, 50), QPointF(497, 66), QPointF(497, 80)})
            near.lineTo(pt);
        near.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 31));
        p.drawPath(near);
        p.fillRect(QRectF(0, 79, r.width(), 1), QColor(0x1F, 0x5A, 0x1F));

        QFont name = font();
        name.setPixelSize(40);
        name.setBold(true);
        p.setFont(name);
        p.setPen(QColor(0x1F, 0x5A, 0x1F, 120));
        p.drawText(QPointF(29, 48), QStringLiteral("岚枢"));
        p.setPen(Qt::white);
        p.drawText(QPointF(28, 46), QStringLiteral("岚枢"));
        QFont address = font();
        address.setPixelSize(13);
        p.setFont(address);
        p.setPen(QColor(255, 255, 255, 235));
        p.drawText(QPointF(30, 68), siteHost());
    }
};
} // namespace

QStringList Tabout::warningLines()
{
    return {QStringLiteral("警告！"),
            QStringLiteral("本软件受中华人民共和国法律及国际条约保护。"),
            QStringLiteral("任何企业、公司、组织或个人均不得以任何方式"),
            QStringLiteral("擅自占有、滥用、冒用或复制本软件。"),
            QStringLiteral("未经授权复制或传播本软件者，将承担民事及刑事"),
            QStringLiteral("责任，并将在法律允许的最大限度内受到追诉。")};
}

Tabout::Tabout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("关于"));
    setModal(true);
    setFixedSize(497, 267);

    m_banner = new Banner(this);
    m_banner->move(0, 0);

    auto* name = new QLabel(QStringLiteral("岚 枢"), this);
    name->setObjectName(QStringLiteral("bsSkinStdLabel6"));
    name->setFont(songti(14));
    name->setProperty("role", QStringLiteral("title"));
    name->adjustSize();
    name->move(14, 90);

    // The warning: shown, never focused, selected, scrolled or changed.
    m_warning = new QTextEdit(this);
    m_warning->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    m_warning->setGeometry(14, 112, 313, 105);
    m_warning->setFont(songti(12));
    m_warning->setReadOnly(true);
    m_warning->setTextInteractionFlags(Qt::NoTextInteraction);
    m_warning->setFocusPolicy(Qt::NoFocus);
    m_warning->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_warning->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_warning->setLineWrapMode(QTextEdit::NoWrap);
    m_warning->setContextMenuPolicy(Qt::NoContextMenu);
    m_warning->document()->setDocumentMargin(5);
    m_warning->setPlainText(warningLines().join(QLatin1Char('\n')));
    m_warning->setEnabled(false);
    m_warning->setProperty("role", QStringLiteral("notice")); // drawn by the skin as shown, not greyed
    m_warning->setAccessibleName(QStringLiteral("警告"));
    m_warning->setAccessibleDescription(warningLines().join(QLatin1Char('\n')));

    auto* group = new QGroupBox(QStringLiteral("版本及相关信息"), this);
    group->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    group->setGeometry(337, 92, 150, 150);
    auto* versionCaption = new QLabel(QStringLiteral("版 本:"), group);
    versionCaption->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    auto* version = new QLabel(product::kVersion, group);
    version->setObjectName(QStringLiteral("bsSkinStdLabel4"));
    auto* siteCaption = new QLabel(QStringLiteral("官 网:"), group);
    siteCaption->setObjectName(QStringLiteral("bsSkinStdLabel2"));
    m_link = new LinkLabel(siteHost(), group);
    m_link->setObjectName(QStringLiteral("bsSkinLinkLabel1"));
    // Arial where the system has it, else a face of the same measure.
    QFont arial;
    arial.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                       QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    arial.setPixelSize(14);
    m_link->setFont(arial);
    m_link->setToolTip(site::kHomePage);
    for (QLabel* label : {versionCaption, version, siteCaption}) {
        label->setProperty("role", QStringLiteral("title"));
        label->adjustSize();
    }
    versionCaption->setAccessibleName(versionCaption->text() + version->text());
    const int left = 12, top = 34;
    versionCaption->move(left, top);
    version->move(left + versionCaption->width() + 6, top);
    siteCaption->move(left, top + 34);
    // The address right of its caption where it fits; a long one goes on the line below.
    m_link->resize(m_link->sizeHint());
    const int besideX = left + siteCaption->width() + 4;
    if (besideX + m_link->width() <= group->width() - 6)
        m_link->move(besideX, top + 34 + (siteCaption->height() - m_link->height()) / 2);
    else
        m_link->move(left - 2, top + 34 + siteCaption->height() + 6);
    // An address too long for the group is drawn smaller rather than cut off.
    const int room = group->width() - 6 - m_link->x();
    while (m_link->sizeHint().width() > room && m_link->font().pixelSize() > 9) {
        QFont smaller = m_link->font();
        smaller.setPixelSize(smaller.pixelSize() - 1);
        m_link->setFont(smaller);
    }
    m_link->resize(qMin(room, m_link->sizeHint().width()), m_link->sizeHint().height());
    connect(m_link, &QAbstractButton::clicked, this, &Tabout::bsSkinLinkLabel1Click);
}

void Tabout::bsSkinLinkLabel1Click()
{
    Platform::openInBrowser(site::kHomePage);
}

void Tabout::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        centreOnDesktop(this);
    QDialog::showEvent(event);
}
