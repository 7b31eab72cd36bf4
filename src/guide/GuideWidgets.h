#pragma once

#include <QAbstractButton>

// Small widgets of the guide and the About dialog.

// A button drawn by its own paint code: it knows when the pointer is over it, and Enter presses
// it as the space bar does.
class PaintedButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit PaintedButton(const QString& text, QWidget* parent = nullptr);
    bool isHovered() const { return m_hover; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_hover = false;
};

// A link picture drawn as a green button with its words (the guide's 开 始, 继 续, 开始使用！).
// A real button: reachable with Tab, pressed with the space bar or Enter, its words as the
// accessible name; drawn from vectors, so it is sharp at any scale.
class GreenButton : public PaintedButton
{
    Q_OBJECT
public:
    GreenButton(const QString& words, QSize size, QWidget* parent = nullptr);
    QSize sizeHint() const override { return m_size; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize m_size;
};

// A link label: its text underlined, a hand cursor, drawn in blue while the pointer is over it.
// Reachable with Tab; the space bar or Enter follow it like a click.
class LinkLabel : public PaintedButton
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // The colours: at rest and under the pointer.
    static QColor restColor();
    static QColor hoverColor();

protected:
    void paintEvent(QPaintEvent* event) override;
};
