#include "FilterStrip.h"

#include "db/ListTotals.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

void ChoiceBox::showPopup()
{
    if (fill)
        fill();
    QComboBox::showPopup();
}

void ChoiceBox::focusInEvent(QFocusEvent* event)
{
    // Filled on focus too, so that the arrow keys go through every choice without the popup; not when the
    // focus comes back from the popup, whose choice is still being taken.
    if (fill && event->reason() != Qt::PopupFocusReason)
        fill();
    QComboBox::focusInEvent(event);
}

namespace {
using Choice = ListFilter::ExpiryChoice;

// The 到期 drop-down's data: the choice, or a year (1000 and above) for Choice::Year.
int expiryData(Choice choice, int year)
{
    return choice == Choice::Year ? year : int(choice);
}

QString counted(const QString& text, int count)
{
    return QStringLiteral("%1 (%2)").arg(text, QLocale(QLocale::English).toString(count));
}

QString expiryName(Choice choice, int year)
{
    switch (choice) {
    case Choice::Any:
        return QStringLiteral("全部");
    case Choice::Expired:
        return QStringLiteral("已过期");
    case Choice::Within30:
        return QStringLiteral("30 天内");
    case Choice::Within90:
        return QStringLiteral("90 天内");
    case Choice::Year:
        return QStringLiteral("%1 年").arg(year);
    }
    return {};
}

// Selects the item holding `data`, adding it (as `text`) when the box does not hold it.
void select(QComboBox* box, const QVariant& data, const QString& text)
{
    int at = box->findData(data);
    if (at < 0) {
        box->addItem(text, data);
        at = box->count() - 1;
    }
    box->setCurrentIndex(at);
}

// Refills a drop-down with "全部" and `items` (text, data), keeping the value chosen.
void refill(QComboBox* box, const QList<std::pair<QString, QVariant>>& items)
{
    // Unchanged choices stay as they are: a choice being made in the popup keeps its item.
    bool same = box->count() == items.size() + 1;
    for (int i = 0; same && i < items.size(); ++i)
        same = box->itemText(i + 1) == items[i].first && box->itemData(i + 1) == items[i].second;
    if (same)
        return;
    const QVariant chosen = box->currentData();
    const QString chosenText = box->currentText();
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItem(QStringLiteral("全部"));
    for (const auto& [text, data] : items)
        box->addItem(text, data);
    if (chosen.isValid())
        select(box, chosen, chosenText);
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

FilterStrip::FilterStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("filterStrip"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 4, 0, 0);
    box->setSpacing(4);

    auto makeChoice = [this](const char* name, const QString& accessible) {
        auto* choice = new ChoiceBox(this);
        choice->setObjectName(QLatin1String(name));
        choice->setAccessibleName(accessible);
        choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        choice->setMinimumContentsLength(8);
        choice->addItem(QStringLiteral("全部"));
        connect(choice, &QComboBox::currentIndexChanged, this, &FilterStrip::takeFromWidgets);
        return choice;
    };
    m_registrar = makeChoice("cmbFilterRegistrar", QStringLiteral("注册商"));
    m_registrar->fill = [this] { fillNamed(m_registrar, &FilterChoices::registrars); };
    m_ending = makeChoice("cmbFilterEnding", QStringLiteral("后缀"));
    m_ending->fill = [this] { fillNamed(m_ending, &FilterChoices::endings); };
    m_ending->setMinimumContentsLength(6);
    m_expiry = makeChoice("cmbFilterExpiry", QStringLiteral("到期"));
    m_expiry->fill = [this] { fillExpiry(); };
    m_expiry->setMinimumContentsLength(6);
    fillExpiry();

    auto* choices = new QHBoxLayout;
    choices->setSpacing(4);
    choices->addWidget(buddyLabel(QStringLiteral("注册商(&R):"), m_registrar, this));
    choices->addWidget(m_registrar, 3);
    choices->addSpacing(6);
    choices->addWidget(buddyLabel(QStringLiteral("后缀(&U):"), m_ending, this));
    choices->addWidget(m_ending, 2);
    choices->addSpacing(6);
    choices->addWidget(buddyLabel(QStringLiteral("到期(&X):"), m_expiry, this));
    choices->addWidget(m_expiry, 2);
    box->addLayout(choices);

    auto makePrice = [this](const char* name, const QString& hint) {
        auto* price = new QLineEdit(this);
        price->setObjectName(QLatin1String(name));
        price->setPlaceholderText(hint);
        price->setAccessibleName(QStringLiteral("报价") + hint);
        price->setClearButtonEnabled(true);
        price->setMaximumWidth(110);
        connect(price, &QLineEdit::textChanged, this, &FilterStrip::takeFromWidgets);
        return price;
    };
    m_min = makePrice("edtPriceMin", QStringLiteral("最低"));
    m_max = makePrice("edtPriceMax", QStringLiteral("最高"));
    m_notNumber = new QCheckBox(QStringLiteral("报价不是数字(&N)"), this);
    m_notNumber->setObjectName(QStringLiteral("chkPriceNotNumber"));
    m_notNumber->setToolTip(QStringLiteral("只列出报价为空或不是数字（如“面议”）的域名"));
    connect(m_notNumber, &QCheckBox::toggled, this, &FilterStrip::takeFromWidgets);
    auto* prices = new QHBoxLayout;
    prices->setSpacing(4);
    prices->addWidget(buddyLabel(QStringLiteral("报价(&P):"), m_min, this));
    prices->addWidget(m_min);
    prices->addWidget(new QLabel(QStringLiteral("至"), this));
    prices->addWidget(m_max);
    prices->addWidget(new QLabel(QStringLiteral("元"), this));
    prices->addSpacing(10);
    prices->addWidget(m_notNumber);
    prices->addStretch(1);
    box->addLayout(prices);

    m_chips = new QWidget(this);
    m_chips->setObjectName(QStringLiteral("filterChips"));
    m_chipRow = new QHBoxLayout(m_chips);
    m_chipRow->setContentsMargins(0, 0, 0, 0);
    m_chipRow->setSpacing(4);
    box->addWidget(m_chips);
    m_chips->hide();
    setTabOrder(m_registrar, m_ending);
    setTabOrder(m_ending, m_expiry);
    setTabOrder(m_expiry, m_min);
    setTabOrder(m_min, m_max);
    setTabOrder(m_max, m_notNumber);
}

void FilterStrip::fillNamed(QComboBox* box, QList<std::pair<QString, int>> FilterChoices::*values)
{
    QList<std::pair<QString, QVariant>> items;
    if (m_source) {
        const FilterChoices choices = m_source();
        for (const auto& [name, count] : choices.*values)
            items.append({counted(name, count), name});
    }
    refill(box, items);
}

void FilterStrip::fillExpiry()
{
    QList<std::pair<QString, QVariant>> items;
    for (const Choice choice : {Choice::Expired, Choice::Within30, Choice::Within90})
        items.append({expiryName(choice, 0), expiryData(choice, 0)});
    if (m_source) {
        const FilterChoices choices = m_source();
        for (const auto& [year, count] : choices.years)
            items.append({counted(expiryName(Choice::Year, year), count), year});
    }
    refill(m_expiry, items);
}

qint64 FilterStrip::typedCents(const QLineEdit* box)
{
    const QString text = box->text().trimmed();
    if (text.isEmpty())
        return -1;
    const QByteArray utf8 = text.toUtf8();
    const qint64 cents = ListTotals::priceCentsOf({utf8.constData(), size_t(utf8.size())});
    return cents < 0 ? -2 : cents;
}

void FilterStrip::takeFromWidgets()
{
    if (m_showing)
        return;
    ListFilter filter;
    filter.registrar = m_registrar->currentData().toString();
    filter.ending = m_ending->currentData().toString();
    const int expiry = m_expiry->currentData().toInt();
    filter.expiry = expiry >= 1000 ? Choice::Year : Choice(expiry);
    filter.year = expiry >= 1000 ? expiry : 0;
    filter.priceNotNumber = m_notNumber->isChecked();
    for (QLineEdit* box : {m_min, m_max}) {
        // A text that is no number sets no bound, and says so.
        const qint64 cents = typedCents(box);
        const bool wrong = cents == -2;
        box->setStyleSheet(wrong ? QStringLiteral("QLineEdit { border: 1px solid #d9534f; }") : QString());
        box->setToolTip(wrong ? QStringLiteral("请输入数字，例如 10000 或 10,000.50") : QString());
        (box == m_min ? filter.minCents : filter.maxCents) = std::max<qint64>(cents, -1);
        box->setEnabled(!filter.priceNotNumber);
    }
    if (filter.priceNotNumber)
        filter.minCents = filter.maxCents = -1; // the boxes are out of use meanwhile
    if (filter == m_filter)
        return;
    m_filter = filter;
    showChips();
    emit filterChanged(m_filter);
}

void FilterStrip::setFilter(const ListFilter& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    showFilter();
    emit filterChanged(m_filter);
}

void FilterStrip::setExpiry(Choice choice, int year)
{
    ListFilter filter = m_filter;
    filter.expiry = choice;
    filter.year = choice == Choice::Year ? year : 0;
    setFilter(filter);
}

void FilterStrip::showFilter()
{
    m_showing = true;
    if (m_filter.registrar.isEmpty())
        m_registrar->setCurrentIndex(0);
    else
        select(m_registrar, m_filter.registrar, m_filter.registrar);
    if (m_filter.ending.isEmpty())
        m_ending->setCurrentIndex(0);
    else
        select(m_ending, m_filter.ending, m_filter.ending);
    if (m_filter.expiry == Choice::Any)
        m_expiry->setCurrentIndex(0);
    else
        select(m_expiry, expiryData(m_filter.expiry, m_filter.year),
               expiryName(m_filter.expiry, m_filter.year));
    // A box keeps the text typed while it means the bound in force.
    for (QLineEdit* box : {m_min, m_max}) {
        const qint64 cents = box == m_min ? m_filter.minCents : m_filter.maxCents;
        if (std::max<qint64>(typedCents(box), -1) != cents)
            box->setText(cents < 0 ? QString() : ListTotals::groupedAmount(cents));
        box->setStyleSheet({});
        box->setToolTip({});
        box->setEnabled(!m_filter.priceNotNumber);
    }
    m_notNumber->setChecked(m_filter.priceNotNumber);
    m_showing = false;
    showChips();
}

QStringList FilterStrip::chipTextsOf(const ListFilter& filter)
{
    QStringList chips;
    if (!filter.registrar.isEmpty())
        chips << QStringLiteral("注册商：%1").arg(filter.registrar);
    if (!filter.ending.isEmpty())
        chips << QStringLiteral("后缀：%1").arg(filter.ending);
    if (filter.expiry != Choice::Any)
        chips << QStringLiteral("到期：%1").arg(expiryName(filter.expiry, filter.year));
    const QString low = ListTotals::groupedAmount(filter.minCents);
    const QString high = ListTotals::groupedAmount(filter.maxCents);
    if (filter.minCents >= 0 && filter.maxCents >= 0)
        chips << QStringLiteral("报价：%1 – %2 元").arg(low, high);
    else if (filter.minCents >= 0)
        chips << QStringLiteral("报价：%1 元以上").arg(low);
    else if (filter.maxCents >= 0)
        chips << QStringLiteral("报价：%1 元以下").arg(high);
    if (filter.priceNotNumber)
        chips << QStringLiteral("报价不是数字");
    return chips;
}

QStringList FilterStrip::chipTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_chipRow->count(); ++i) {
        if (const QWidget* chip = m_chipRow->itemAt(i)->widget())
            texts << chip->property("chip").toString();
    }
    return texts;
}

void FilterStrip::showChips()
{
    while (QLayoutItem* item = m_chipRow->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        delete item;
    }
    // One chip for each filter in force; its × takes that filter away.
    const QStringList texts = chipTextsOf(m_filter);
    const std::function<void(ListFilter&)> removers[] = {
        [](ListFilter& f) { f.registrar.clear(); },
        [](ListFilter& f) { f.ending.clear(); },
        [](ListFilter& f) {
            f.expiry = Choice::Any;
            f.year = 0;
        },
        [](ListFilter& f) { f.minCents = f.maxCents = -1; },
        [](ListFilter& f) { f.priceNotNumber = false; },
    };
    for (const QString& text : texts) {
        auto* chip = new QToolButton(m_chips);
        chip->setObjectName(QStringLiteral("filterChip"));
        chip->setProperty("chip", text);
        chip->setText(text + QStringLiteral("  ×"));
        chip->setToolTip(QStringLiteral("取消这个筛选"));
        chip->setAccessibleName(QStringLiteral("取消筛选：%1").arg(text));
        chip->setFocusPolicy(Qt::TabFocus);
        chip->setAutoRaise(false);
        // Which filter the chip stands for: the first of the strip's order whose removal changes its text.
        for (const auto& remove : removers) {
            ListFilter without = m_filter;
            remove(without);
            if (!chipTextsOf(without).contains(text)) {
                connect(chip, &QToolButton::clicked, this, [this, without] { setFilter(without); });
                break;
            }
        }
        m_chipRow->addWidget(chip);
    }
    m_chipRow->addStretch(1);
    m_chips->setVisible(!texts.isEmpty());
}
