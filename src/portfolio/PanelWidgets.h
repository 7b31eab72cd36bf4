#pragma once

#include <QLabel>
#include <QStyledItemDelegate>
#include <QToolButton>

class QSvgRenderer;

// Small widgets of the portfolio panel.

// A picture from the artwork, drawn from its vector source at whatever size the widget has
// (sharp on high-DPI screens; a stretched strip stays sharp too). A missing picture draws nothing.
class SvgPicture : public QWidget
{
    Q_OBJECT
public:
    enum Fit
    {
        Stretch, // fills the widget
        Natural // drawn at its own size from the top left; a wider widget is filled with its stretched ground
    };
    SvgPicture(const QString& resource, QSize size, Fit fit, QWidget* parent = nullptr);
    QSize sizeHint() const override { return m_size; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* m_renderer;
    QSize m_size;
    Fit m_fit;
};

// A picture link: a flat button showing a picture, with the words of the picture as its
// accessible name and tool tip. Reachable with Tab and pressed with the space bar.
class PictureLink : public QToolButton
{
    Q_OBJECT
public:
    PictureLink(const QString& resource, QSize size, const QString& words, QWidget* parent = nullptr);
    // The picture and a one-pixel frame for the focus mark, whatever the style would add around it.
    QSize sizeHint() const override { return iconSize() + QSize(2, 2); }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

// A value of the detail pane: plain text (so "&" and "<" show as they are), as wide as its
// text, but allowed to shrink; a shrunk value is drawn with an ellipsis and shows its whole
// text as a tool tip.
class ValueLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ValueLabel(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool isElided() const;
};

// Draws each cell as usual plus a line under it: horizontal lines between rows, none between columns.
class RowLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
