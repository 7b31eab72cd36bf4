#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

class QTimer;

// The animated picture of the guide's second page: the main window, as it looks at the moment,
// in five frames of 2 seconds each, looping without end. Each frame frames one area of the window
// in green with its two-line caption. The window is drawn from the program's own widgets whenever
// the picture comes into view; without a window, a plain drawing of the window stands in.
class DemoAnimation : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFrames = 5;
    static constexpr int kFrameMs = 2000;

    explicit DemoAnimation(QWidget* parent = nullptr);

    // The window to draw, the panel to draw in its panel area (shown or not), the five framed areas
    // in frame order (navigation bar, toolbar, domain list, search strip, detail pane), and whether
    // the domains may be shown (when not, the list and the detail pane are drawn blurred).
    void setSource(QWidget* window, QWidget* panel, const QList<QWidget*>& areas,
                   std::function<bool()> showData);

    int frame() const { return m_frame; }
    void setFrame(int frame);
    // The next frame; after the last comes the first.
    void advance();
    bool isRunning() const;

    // The caption of a frame: its title and its line.
    static QString title(int frame);
    static QString line(int frame);
    // Where a caption of the given size goes: beside the framed area (box) where it fits on the
    // picture without covering the area, else in the area's middle.
    static QRectF captionPlace(const QRectF& box, QSizeF size, const QRectF& picture);
    // The picture as it was last taken, and the framed areas in its coordinates.
    QImage picture() const { return m_picture; }
    QList<QRect> areas() const { return m_areas; }
    // Takes the picture again from the window.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void takeFromWindow();
    void drawStandIn();

    QTimer* m_timer;
    int m_frame = 0;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_panel;
    QList<QPointer<QWidget>> m_sourceAreas;
    std::function<bool()> m_showData;
    QImage m_picture;
    QList<QRect> m_areas;
};
