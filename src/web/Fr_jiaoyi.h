#pragma once

#include <QWidget>

class QLabel;

// A panel that shows a page of the maker's web site (/appin/jiaoyi.htm).
class TFr_jiaoyi : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_jiaoyi(QWidget* parent = nullptr);
    // Called by the main window after it has made the panel visible: requests the page on the first showing
    // only.
    void firstShow();
    QLabel* Label1() const { return m_label1; } // page-requested flag, "0" until requested

private:
    QLabel* m_label1 = nullptr;
};
