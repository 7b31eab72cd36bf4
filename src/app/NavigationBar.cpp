#include "NavigationBar.h"

#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

NavigationBar::NavigationBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("bsSkinButtonsBar1"));
    setFixedWidth(88);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

int NavigationBar::addSection(const QString& title, const QString& objectName)
{
    Section s;
    s.header = new QPushButton(title, this);
    s.header->setObjectName(objectName);
    s.header->setFixedHeight(26);
    s.header->setProperty("navHeader", true);
    s.items = new QWidget(this);
    s.itemLayout = new QVBoxLayout(s.items);
    s.itemLayout->setContentsMargins(4, 4, 4, 4);
    s.itemLayout->setSpacing(2);
    const int index = int(m_sections.size());
    // Headers stack from the top; the open section's items lie under its header.
    m_layout->insertWidget(m_layout->count() - 1, s.header);
    m_layout->insertWidget(m_layout->count() - 1, s.items);
    m_sections.append(s);
    connect(s.header, &QPushButton::clicked, this, [this, index] {
        openSection(index);
        emit headerClicked(index);
    });
    if (m_open < 0)
        openSection(index);
    else
        s.items->hide();
    return index;
}

QToolButton* NavigationBar::addItem(int section, const QIcon& icon, const QString& text,
                                    const QString& objectName)
{
    Section& s = m_sections[section];
    auto* button = new QToolButton(s.items);
    button->setObjectName(objectName);
    button->setText(text);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedHeight(70);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setProperty("chosen", false);
    s.itemLayout->addWidget(button);
    m_items.append(button);
    return button;
}

void NavigationBar::openSection(int section)
{
    m_open = section;
    for (int i = 0; i < m_sections.size(); ++i)
        m_sections[i].items->setVisible(i == section);
}

void NavigationBar::setChosen(QToolButton* item)
{
    m_chosen = item;
    for (QToolButton* button : std::as_const(m_items)) {
        if (button->property("chosen").toBool() == (button == item))
            continue;
        button->setProperty("chosen", button == item);
        // The style sheet reads the property when the button is polished.
        button->style()->unpolish(button);
        button->style()->polish(button);
        button->update();
    }
}
