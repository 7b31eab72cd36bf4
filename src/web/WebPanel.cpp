#include "WebPanel.h"

#include "WebBrowser.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {
// A vector picture drawn to the widget's whole area, sharp at any screen scale. It does not react to
// the mouse.
class Picture : public QWidget
{
public:
    Picture(const QString& name, QWidget* parent)
        : QWidget(parent), m_renderer(QStringLiteral(":/pictures/%1.svg").arg(name))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QSize sizeHint() const override { return m_renderer.defaultSize(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
        m_renderer.render(&painter, QRectF(rect()));
    }

private:
    QSvgRenderer m_renderer;
};

constexpr int kHeaderHeight = 35;
} // namespace

WebPanel::WebPanel(const QString& objectName, const QString& titlePicture, const QString& title, WebPage page,
                   QWidget* parent)
    : QWidget(parent), m_page(std::move(page))
{
    setObjectName(objectName);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The flag lies under the browser and is never seen.
    m_label1 = new QLabel(QStringLiteral("0"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->hide();

    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("bsSkinPanel1"));
    header->setFixedHeight(kHeaderHeight);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* left = new Picture(titlePicture, header);
    left->setFixedSize(left->sizeHint().width(), kHeaderHeight);
    left->setAccessibleName(title);
    auto* middle = new Picture(QStringLiteral("panel_mid"), header);
    middle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* right = new Picture(QStringLiteral("panel_brand"), header);
    right->setFixedSize(right->sizeHint().width(), kHeaderHeight);
    right->setAccessibleName(QStringLiteral("岚 枢"));
    row->addWidget(left);
    row->addWidget(middle, 1);
    row->addWidget(right);
    column->addWidget(header);

    m_browser = new WebBrowser(this);
    column->addWidget(m_browser, 1);
}

void WebPanel::firstShow()
{
    if (m_label1->text() != QLatin1String("0"))
        return;
    m_label1->setText(QStringLiteral("1"));
    m_browser->requestPage(m_page);
}
