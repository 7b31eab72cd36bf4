#pragma once

#include <QStringList>
#include <QWidget>

// The full-size picture of one page of the guide (642 × 390, a little larger than the guide's
// client area, so that its right and bottom edges are cut off). Drawn from vectors at whatever
// scale the screen has; it does not react to the mouse. Its texts are its accessible description.
class GuidePicture : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPages = 5;

    GuidePicture(int page, QWidget* parent = nullptr);

    int page() const { return m_page; }
    // The page's heading and the lines of text that stand in the picture.
    static QString heading(int page);
    static QStringList lines(int page);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_page; // 1 .. 5
};
