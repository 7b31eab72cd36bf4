#include "Help.h"

#include "DemoAnimation.h"
#include "GuidePicture.h"
#include "GuideWidgets.h"
#include "IniFile.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QStackedLayout>

Thelp::Thelp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("岚枢入门"));
    setModal(true);
    setFixedSize(634, 389);
    m_pages = new QStackedLayout(this);
    m_pages->setContentsMargins(0, 0, 0, 0);

    // Each page: its picture, its link picture, and on page 1 the check box.
    struct Link
    {
        const char* name;
        const char16_t* words;
        QSize size;
        QPoint at;
    };
    const Link links[GuidePicture::kPages] = {
        {"bsSkinLinkImage7", u"开 始", {111, 35}, {38, 178}},
        {"bsSkinLinkImage8", u"继 续", {111, 35}, {501, 318}},
        {"bsSkinLinkImage9", u"继 续", {111, 35}, {489, 330}},
        {"bsSkinLinkImage10", u"继 续", {111, 35}, {489, 330}},
        {"bsSkinLinkImage6", u"开始使用！", {194, 44}, {406, 322}},
    };
    for (int n = 1; n <= GuidePicture::kPages; ++n) {
        auto* page = new QWidget(this);
        page->setObjectName(QStringLiteral("p%1").arg(n));
        auto* picture = new GuidePicture(n, page);
        picture->move(0, 0);
        const Link& link = links[n - 1];
        auto* button = new GreenButton(QString::fromUtf16(link.words), link.size, page);
        button->setObjectName(QLatin1String(link.name));
        button->move(link.at);
        m_links.append(button);
        m_pages->addWidget(page);
        if (n == 2) {
            m_animation = new DemoAnimation(page);
            m_animation->move(10, 30);
        }
        if (n == 1) {
            m_check = new QCheckBox(QStringLiteral("启动时弹出使用指南"), page);
            m_check->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
            m_check->setChecked(true);
            m_check->adjustSize();
            m_check->move(24, 389 - 22 - m_check->height() / 2);
            // The user's own changes; FormShow calls the handler itself.
            connect(m_check, &QCheckBox::clicked, this, &Thelp::bsSkinCheckRadioBox1Click);
        }
    }
    connect(m_links[0], &QAbstractButton::clicked, this, &Thelp::bsSkinLinkImage7Click);
    connect(m_links[1], &QAbstractButton::clicked, this, &Thelp::bsSkinLinkImage8Click);
    connect(m_links[2], &QAbstractButton::clicked, this, &Thelp::bsSkinLinkImage9Click);
    connect(m_links[3], &QAbstractButton::clicked, this, &Thelp::bsSkinLinkImage10Click);
    connect(m_links[4], &QAbstractButton::clicked, this, &Thelp::bsSkinLinkImage6Click);
    showPage(1);
}

void Thelp::setDemoWindow(QWidget* window, QWidget* panel, const QList<QWidget*>& areas,
                          std::function<bool()> showData)
{
    m_animation->setSource(window, panel, areas, std::move(showData));
}

void Thelp::setVisible(bool visible)
{
    // The show handler runs before the guide is on screen: a refused write is reported first.
    if (visible && !isVisible()) {
        FormShow();
        centreOnDesktop(this);
    }
    QDialog::setVisible(visible);
}

void Thelp::FormShow()
{
    const QString run = IniFile::readRun();
    if (run == QLatin1String("1") || run == QLatin1String("0")) {
        // Set as the user sets it, so the value found is written back.
        m_check->setChecked(run == QLatin1String("1"));
        bsSkinCheckRadioBox1Click();
    }
    showPage(1);
}

void Thelp::bsSkinCheckRadioBox1Click()
{
    const QString error = IniFile::writeRun(m_check->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (!error.isEmpty())
        MessageBox::appError(this, error);
}

void Thelp::bsSkinLinkImage7Click()
{
    showPage(2);
}
void Thelp::bsSkinLinkImage8Click()
{
    showPage(3);
}
void Thelp::bsSkinLinkImage9Click()
{
    showPage(4);
}
void Thelp::bsSkinLinkImage10Click()
{
    showPage(5);
}
void Thelp::bsSkinLinkImage6Click()
{
    accept();
}

int Thelp::currentPage() const
{
    return m_pages->currentIndex() + 1;
}

QWidget* Thelp::page(int number) const
{
    return m_pages->widget(number - 1);
}

GreenButton* Thelp::linkImage(int page) const
{
    return page >= 1 && page <= m_links.size() ? m_links[page - 1] : nullptr;
}

void Thelp::showPage(int number)
{
    m_pages->setCurrentIndex(number - 1);
    // The way on is the page's link picture: Enter or the space bar press it.
    m_links[number - 1]->setFocus(Qt::OtherFocusReason);
}
