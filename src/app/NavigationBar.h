#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

class QToolButton;
class QPushButton;
class QVBoxLayout;

// The navigation bar: sections with a header button and large item buttons (icon above
// text). One section is open at a time; opening one closes the others.
class NavigationBar : public QWidget
{
    Q_OBJECT
public:
    explicit NavigationBar(QWidget* parent = nullptr);

    int addSection(const QString& title, const QString& objectName);
    QToolButton* addItem(int section, const QIcon& icon, const QString& text, const QString& objectName);
    void openSection(int section);
    int openSectionIndex() const { return m_open; }
    QPushButton* header(int section) const { return m_sections.value(section).header; }
    // Marks the item of the panel on screen (property "chosen", drawn by the skin); none for nullptr.
    void setChosen(QToolButton* item);
    QToolButton* chosen() const { return m_chosen; }

signals:
    void headerClicked(int section);

private:
    struct Section
    {
        QPushButton* header = nullptr;
        QWidget* items = nullptr;
        QVBoxLayout* itemLayout = nullptr;
    };
    QList<Section> m_sections;
    QVBoxLayout* m_layout = nullptr;
    QList<QToolButton*> m_items;
    QToolButton* m_chosen = nullptr;
    int m_open = -1;
};
