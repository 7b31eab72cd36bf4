#pragma once

#include "db/ListFilter.h"

#include <QComboBox>
#include <QWidget>
#include <functional>

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QToolButton;

// A drop-down that fills its items just before it is used (focus or popup): its choices are counted over
// the whole list, which is too much to do at every change of the list.
class ChoiceBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<void()> fill;
    void showPopup() override;

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// The filters above the domain list: 注册商, 后缀 and 到期 drop-downs with the values present and their
// counts, the 报价 range and "报价不是数字"; below them each filter in force as a chip with a × that
// takes it away. Tells every change as filterChanged; sets nothing on the list itself.
class FilterStrip : public QWidget
{
    Q_OBJECT
public:
    explicit FilterStrip(QWidget* parent = nullptr);

    // Where the choices of the drop-downs come from (the list's rows before the filters); none: no
    // choices beyond "全部".
    void setChoicesSource(std::function<FilterChoices()> source) { m_source = std::move(source); }

    const ListFilter& filter() const { return m_filter; }
    // Shows `filter` and tells it (once) when it differs from the one shown.
    void setFilter(const ListFilter& filter);
    void setExpiry(ListFilter::ExpiryChoice choice, int year = 0);
    void clear() { setFilter({}); }
    // The chips shown, without their ×.
    QStringList chipTexts() const;
    // The text a chip shows for each filter in force, in the order of the strip.
    static QStringList chipTextsOf(const ListFilter& filter);

signals:
    void filterChanged(const ListFilter& filter);

private:
    // Refills a drop-down with the names of one kind of choice (registrars, endings) and their counts.
    void fillNamed(QComboBox* box, QList<std::pair<QString, int>> FilterChoices::*values);
    void fillExpiry();
    void showFilter(); // the widgets and chips as m_filter says
    void takeFromWidgets();
    void showChips();
    // The price typed in a box, in cents; -1 when empty; -2 when it is not a number.
    static qint64 typedCents(const QLineEdit* box);

    std::function<FilterChoices()> m_source;
    ListFilter m_filter;
    ChoiceBox* m_registrar = nullptr;
    ChoiceBox* m_ending = nullptr;
    ChoiceBox* m_expiry = nullptr;
    QLineEdit* m_min = nullptr;
    QLineEdit* m_max = nullptr;
    QCheckBox* m_notNumber = nullptr;
    QWidget* m_chips = nullptr;
    QHBoxLayout* m_chipRow = nullptr;
    bool m_showing = false; // the widgets are being set from m_filter: not a choice of the user
};
