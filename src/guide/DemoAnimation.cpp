#include "DemoAnimation.h"

#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {
struct Caption
{
    const char16_t* title;
    const char16_t* line;
};
// Frame by frame: what is framed, in the window's order of reading.
constexpr Caption kCaptions[DemoAnimation::kFrames] = {
    {u"功能切换条", u"用来切换主要的功能"},
    {u"按钮栏", u"最主要的功能都排列在这里"},
    {u"域名列表", u"这里列出了所有的域名，点标题可以排序"},
    {u"速查", u"根据您的搜索内容即时搜索，在域名列表里马上显示出来。"},
    {u"域名详情", u"此处显示您在域名列表中，选中的域名详细情况"},
};
const QColor kGreen(0x1F, 0xA8, 0x3A);
const QSize kWindowSize(940, 614); // the main window at its first size
constexpr int kDotsHeight = 14;    // the strip of frame dots under the picture

// Blurs a part of the picture beyond reading: drawn small and then stretched back.
void blur(QImage* image, const QRect& area)
{
    const qreal dpr = image->devicePixelRatio();
    const QRect pixels(area.topLeft() * dpr, area.size() * dpr);
    const QRect inside = pixels & image->rect();
    if (inside.isEmpty())
        return;
    const QImage small =
        image->copy(inside).scaled(qMax(1, inside.width() / 14), qMax(1, inside.height() / 14),
                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter p(image);
    p.resetTransform();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QImage wide = small.scaled(inside.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    wide.setDevicePixelRatio(1);
    p.drawImage(QRectF(QPointF(inside.topLeft()) / dpr, QSizeF(inside.size()) / dpr), wide);
}
} // namespace

DemoAnimation::DemoAnimation(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("demoAnimation"));
    setFixedSize(484, 328);
    m_timer->setInterval(kFrameMs);
    connect(m_timer, &QTimer::timeout, this, &DemoAnimation::advance);
    setAccessibleName(QStringLiteral("界面说明动画"));
    setFrame(0);
}

void DemoAnimation::setSource(QWidget* window, QWidget* panel, const QList<QWidget*>& areas,
                              std::function<bool()> showData)
{
    m_window = window;
    m_panel = panel;
    m_sourceAreas.clear();
    for (QWidget* area : areas)
        m_sourceAreas.append(area);
    m_showData = std::move(showData);
    m_picture = QImage();
}

QString DemoAnimation::title(int frame)
{
    return QString::fromUtf16(kCaptions[qBound(0, frame, kFrames - 1)].title);
}

QString DemoAnimation::line(int frame)
{
    return QString::fromUtf16(kCaptions[qBound(0, frame, kFrames - 1)].line);
}

void DemoAnimation::setFrame(int frame)
{
    m_frame = ((frame % kFrames) + kFrames) % kFrames;
    setAccessibleDescription(title(m_frame) + QLatin1Char('\n') + line(m_frame));
    update();
}

void DemoAnimation::advance()
{
    setFrame(m_frame + 1);
}

bool DemoAnimation::isRunning() const
{
    return m_timer->isActive();
}

void DemoAnimation::showEvent(QShowEvent* event)
{
    // Each time the page comes into view: the window as it is now, from the first frame.
    refresh();
    setFrame(0);
    m_timer->start();
    QWidget::showEvent(event);
}

void DemoAnimation::hideEvent(QHideEvent* event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

void DemoAnimation::refresh()
{
    if (m_window)
        takeFromWindow();
    else
        drawStandIn();
}

void DemoAnimation::takeFromWindow()
{
    QWidget* window = m_window;
    window->ensurePolished();
    if (!window->isVisible() && window->layout())
        window->layout()->activate(); // a window not yet shown has not been laid out
    const qreal dpr = qMax<qreal>(1.0, devicePixelRatioF());
    QImage image(window->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(window->palette().color(QPalette::Window));
    window->render(&image);

    // The panel that the areas sit in is drawn in its place, whichever panel is shown now.
    QWidget* panel = m_panel;
    if (panel && panel->parentWidget() && panel->isHidden()) {
        QWidget* host = panel->parentWidget();
        panel->setGeometry(QRect(QPoint(), host->size()));
        if (panel->layout())
            panel->layout()->activate();
        const QPoint at = host->mapTo(window, QPoint());
        {
            QPainter p(&image);
            p.fillRect(QRect(at, host->size()), window->palette().color(QPalette::Window));
        }
        panel->render(&image, at);
    }

    m_areas.clear();
    for (const QPointer<QWidget>& area : std::as_const(m_sourceAreas)) {
        if (area && area != window)
            m_areas.append(QRect(area->mapTo(window, QPoint()), area->size()));
        else
            m_areas.append(QRect());
    }
    // A locked program keeps its domains to itself, here too.
    if (m_showData && !m_showData()) {
        for (int i : {2, 4}) {
            if (i < m_areas.size())
                blur(&image, m_areas[i]);
        }
    }
    m_picture = image;
    update();
}

void DemoAnimation::drawStandIn()
{
    const qreal dpr = qMax<qreal>(1.0, devicePixelRatioF());
    QImage image(kWindowSize * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(QColor(0xE3, 0xEE, 0xFD));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect nav(0, 0, 88, 593), toolbar(88, 40, 852, 32), list(88, 72, 360, 490),
        search(88, 562, 360, 31), detail(458, 72, 482, 521);
    p.fillRect(nav, QColor(0xDC, 0xE8, 0xF8));
    p.fillRect(QRect(88, 0, 852, 40), QColor(0x3A, 0x78, 0xD8));
    p.fillRect(toolbar, QColor(0xEE, 0xF4, 0xFD));
    p.fillRect(list, Qt::white);
    p.fillRect(QRect(list.x(), list.y(), list.width(), 24), QColor(0xE8, 0xF0, 0xFC));
    for (int y = list.y() + 24; y < list.bottom(); y += 22)
        p.fillRect(QRect(list.x(), y + 21, list.width(), 1), QColor(0xE2, 0xEA, 0xF5));
    p.fillRect(search.adjusted(52, 5, -60, -5), Qt::white);
    p.fillRect(detail, QColor(0xEE, 0xF4, 0xFD));
    p.fillRect(QRect(0, 593, 940, 21), QColor(0xDC, 0xE8, 0xF8));
    m_picture = image;
    m_areas = {nav, toolbar, list, search, detail};
}

QRectF DemoAnimation::captionPlace(const QRectF& box, QSizeF size, const QRectF& picture)
{
    const qreal gap = 8, w = size.width(), h = size.height();
    const QList<QRectF> places = {
        QRectF(box.right() + gap, box.center().y() - h / 2, w, h),
        QRectF(box.center().x() - w / 2, box.bottom() + gap, w, h),
        QRectF(box.left() - gap - w, box.center().y() - h / 2, w, h),
        QRectF(box.center().x() - w / 2, box.top() - gap - h, w, h),
    };
    // Each place slid into the picture where needed; the first that leaves the area in view wins.
    const QRectF inside = picture.adjusted(4, 4, -4, -4);
    for (QRectF candidate : places) {
        candidate.moveLeft(qBound(inside.left(), candidate.left(), inside.right() - candidate.width()));
        candidate.moveTop(qBound(inside.top(), candidate.top(), inside.bottom() - candidate.height()));
        if (inside.contains(candidate) && !candidate.intersects(box))
            return candidate;
    }
    // An area that leaves no room around it: the caption in its middle.
    return QRectF(box.center().x() - w / 2, box.center().y() - h / 2, w, h);
}

void DemoAnimation::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        refresh();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    const QSizeF source = QSizeF(m_picture.size()) / m_picture.devicePixelRatio();
    const QRectF room = QRectF(rect()).adjusted(2, 2, -2, -2 - kDotsHeight);
    const qreal scale = qMin(room.width() / source.width(), room.height() / source.height());
    const QRectF shown(room.x() + (room.width() - source.width() * scale) / 2, room.y(),
                       source.width() * scale, source.height() * scale);
    // The window, with a thin frame and a shadow as on the desktop.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1F, 0x3A, 0x68, 40));
    p.drawRect(shown.translated(2, 2));
    p.drawImage(shown, m_picture);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x7F, 0x9D, 0xC8), 1));
    p.drawRect(shown.adjusted(-0.5, -0.5, 0.5, 0.5));

    // The framed area: the rest a little darker, the area in green.
    const QRect area = m_frame < m_areas.size() ? m_areas[m_frame] : QRect();
    if (!area.isEmpty()) {
        const QRectF framed(shown.x() + area.x() * scale, shown.y() + area.y() * scale, area.width() * scale,
                            area.height() * scale);
        const QRectF box = framed.adjusted(1.5, 1.5, -1.5, -1.5) & shown;
        QPainterPath dim;
        dim.addRect(shown);
        QPainterPath hole;
        hole.addRect(box);
        p.fillPath(dim.subtracted(hole), QColor(0x10, 0x20, 0x40, 70));
        p.setPen(QPen(kGreen, 3));
        p.drawRect(box);

        // The caption beside the area where it fits, else inside it.
        QFont titleFont = font();
        titleFont.setPixelSize(14);
        titleFont.setBold(true);
        QFont lineFont = font();
        lineFont.setPixelSize(12);
        const QFontMetricsF tm(titleFont), lm(lineFont);
        const qreal maxText = shown.width() - 40;
        const QRectF lineBox = lm.boundingRect(QRectF(0, 0, maxText, 200), Qt::TextWordWrap, line(m_frame));
        const qreal w = qMax(tm.horizontalAdvance(title(m_frame)), lineBox.width()) + 20;
        const qreal h = tm.height() + lineBox.height() + 14;
        const QRectF place = captionPlace(box, QSizeF(w, h), shown);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 50));
        p.drawRoundedRect(place.translated(1.5, 2), 6, 6);
        p.setBrush(QColor(0xF4, 0xFF, 0xF2));
        p.setPen(QPen(kGreen, 2));
        p.drawRoundedRect(place, 6, 6);
        p.setFont(titleFont);
        p.setPen(QColor(0x14, 0x6B, 0x24));
        p.drawText(QRectF(place.x() + 10, place.y() + 6, place.width() - 20, tm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, title(m_frame));
        p.setFont(lineFont);
        p.setPen(QColor(0x1F, 0x3A, 0x68));
        p.drawText(QRectF(place.x() + 10, place.y() + 8 + tm.height(), place.width() - 20, lineBox.height()),
                   Qt::TextWordWrap, line(m_frame));
    }

    // One dot per frame, the current one green.
    const qreal dot = 7, spacing = 14;
    const qreal left = width() / 2.0 - (kFrames - 1) * spacing / 2;
    const qreal y = height() - kDotsHeight / 2.0;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < kFrames; ++i) {
        p.setBrush(i == m_frame ? kGreen : QColor(0xB9, 0xCC, 0xE8));
        p.drawEllipse(QPointF(left + i * spacing, y), dot / 2, dot / 2);
    }
}
