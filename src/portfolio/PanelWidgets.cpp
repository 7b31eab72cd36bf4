#include "PanelWidgets.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QToolTip>

SvgPicture::SvgPicture(const QString& resource, QSize size, Fit fit, QWidget* parent)
    : QWidget(parent), m_renderer(new QSvgRenderer(resource, this)), m_size(size), m_fit(fit)
{
    m_renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
    setFixedHeight(size.height());
    if (fit == Natural)
        setMinimumWidth(0);
}

void SvgPicture::paintEvent(QPaintEvent*)
{
    if (!m_renderer->isValid())
        return;
    QPainter painter(this);
    if (m_fit == Stretch || width() == m_size.width()) {
        m_renderer->render(&painter, QRectF(rect()));
        return;
    }
    if (width() > m_size.width())
        m_renderer->render(&painter, QRectF(rect()));
    m_renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(m_size)));
}

PictureLink::PictureLink(const QString& resource, QSize size, const QString& words, QWidget* parent)
    : QToolButton(parent)
{
    setIcon(QIcon(resource));
    setIconSize(size);
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(words);
    setAccessibleName(words);
    setFocusPolicy(Qt::TabFocus);
}

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    // Copying by the context menu: a mouse-selectable label would lay its text out as a document on
    // every change and make moving through the list visibly slower.
    auto* copy = new QAction(QStringLiteral("复制"), this);
    connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(text()); });
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QSize ValueLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(std::min(size.width(), fontMetrics().horizontalAdvance(QStringLiteral("…")) + 2));
    return size;
}

bool ValueLabel::isElided() const
{
    const QRect area = contentsRect();
    return fontMetrics().size(0, text()).width() > area.width();
}

void ValueLabel::paintEvent(QPaintEvent* event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    // Too narrow for the text: one line ending in an ellipsis.
    QPainter painter(this);
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, area.width());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, int(Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
}

bool ValueLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        if (isElided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void RowLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(0xE2, 0xEA, 0xF5));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}
