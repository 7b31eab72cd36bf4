#include "GuideWidgets.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

PaintedButton::PaintedButton(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void PaintedButton::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & ~Qt::KeypadModifier)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PaintedButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PaintedButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

GreenButton::GreenButton(const QString& words, QSize size, QWidget* parent)
    : PaintedButton(words, parent), m_size(size)
{
    setToolTip(words);
    setFixedSize(size);
    QFont f = font();
    f.setPixelSize(size.height() >= 40 ? 18 : 15);
    f.setBold(true);
    setFont(f);
}

void GreenButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -2);
    const bool down = isDown();
    // A soft shadow under the button.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1E, 0x4D, 0x1E, 60));
    p.drawRoundedRect(r.translated(0, 1.5), 6, 6);

    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (down) {
        fill.setColorAt(0, QColor(0x2E, 0x7D, 0x2E));
        fill.setColorAt(1, QColor(0x3E, 0x9A, 0x3E));
    } else if (isHovered()) {
        fill.setColorAt(0, QColor(0x7C, 0xCF, 0x6E));
        fill.setColorAt(1, QColor(0x38, 0x94, 0x38));
    } else {
        fill.setColorAt(0, QColor(0x6B, 0xC2, 0x5E));
        fill.setColorAt(1, QColor(0x2E, 0x85, 0x2E));
    }
    p.setBrush(fill);
    p.setPen(QPen(QColor(0x25, 0x6B, 0x25), 1));
    p.drawRoundedRect(r, 6, 6);
    // The shine on the upper half.
    QPainterPath shine;
    shine.addRoundedRect(r.adjusted(2, 2, -2, -r.height() / 2), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, down ? 20 : 55));
    p.drawPath(shine);

    const QRectF textRect = r.translated(down ? 1 : 0, down ? 1 : 0);
    p.setFont(font());
    p.setPen(QColor(0x16, 0x4A, 0x16, 110));
    p.drawText(textRect.translated(0, 1), Qt::AlignCenter, text());
    p.setPen(Qt::white);
    p.drawText(textRect, Qt::AlignCenter, text());
    if (hasFocus()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 200), 1, Qt::DotLine));
        p.drawRoundedRect(r.adjusted(3, 3, -3, -3), 4, 4);
    }
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : PaintedButton(text, parent) {}

QColor LinkLabel::restColor()
{
    return QColor(0x1F, 0x3A, 0x68);
}

QColor LinkLabel::hoverColor()
{
    return QColor(0x00, 0x50, 0xE0);
}

QSize LinkLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 4, fm.height() + 2};
}

void LinkLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFont f = font();
    f.setUnderline(true);
    p.setFont(f);
    p.setPen(isHovered() ? hoverColor() : restColor());
    p.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        p.setPen(QPen(QColor(0x2F, 0x6F, 0xD0), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
