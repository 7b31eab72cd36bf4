#pragma once

#include <QDialog>
#include <QList>
#include <functional>

class QCheckBox;
class QStackedLayout;
class DemoAnimation;
class GreenButton;

// The start-up guide, "岚枢入门": five picture pages p1 .. p5 stepped through forward only.
// The check box on the first page decides, through the settings file, whether the guide opens
// when the program starts.
class Thelp : public QDialog
{
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);

    // Page 2's animation draws this window; see DemoAnimation::setSource.
    void setDemoWindow(QWidget* window, QWidget* panel, const QList<QWidget*>& areas,
                       std::function<bool()> showData);

    // Each showing: the check box from the settings file, then page 1.
    void FormShow();
    // The check box changed (by the user or by FormShow): its state into the settings file.
    void bsSkinCheckRadioBox1Click();
    void bsSkinLinkImage7Click();  // 开 始: page 2
    void bsSkinLinkImage8Click();  // 继 续: page 3
    void bsSkinLinkImage9Click();  // 继 续: page 4
    void bsSkinLinkImage10Click(); // 继 续: page 5
    void bsSkinLinkImage6Click();  // 开始使用！: closes the guide

    int currentPage() const; // 1 .. 5
    QWidget* page(int number) const;
    QCheckBox* bsSkinCheckRadioBox1() const { return m_check; } // 启动时弹出使用指南
    GreenButton* linkImage(int page) const;
    DemoAnimation* animation() const { return m_animation; }

    void setVisible(bool visible) override;

private:
    void showPage(int number);

    QStackedLayout* m_pages = nullptr;
    QCheckBox* m_check = nullptr;
    DemoAnimation* m_animation = nullptr;
    QList<GreenButton*> m_links; // the link picture of each page, in page order
};
