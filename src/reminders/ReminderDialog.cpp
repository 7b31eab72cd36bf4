#include "ReminderDialog.h"

#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

ReminderDialog::ReminderDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("reminderDialog"));
    setWindowTitle(QStringLiteral("提醒设置"));
    auto* column = new QVBoxLayout(this);
    m_enabled = new QCheckBox(QStringLiteral("在桌面上提醒即将到期和已过期的域名(&R)"), this);
    m_enabled->setObjectName(QStringLiteral("reminderEnabled"));
    column->addWidget(m_enabled);

    auto* form = new QFormLayout;
    m_thresholds = new QLineEdit(this);
    m_thresholds->setObjectName(QStringLiteral("reminderThresholds"));
    m_thresholds->setPlaceholderText(QStringLiteral("30, 7, 1"));
    m_thresholds->setToolTip(QStringLiteral("每个天数一组提醒，用逗号分开；每组每天最多提醒一次"));
    auto* label = new QLabel(QStringLiteral("提前天数(&D)："), this);
    label->setBuddy(m_thresholds);
    form->addRow(label, m_thresholds);
    column->addLayout(form);

    auto* priceRow = new QHBoxLayout;
    m_priceFilter = new QCheckBox(QStringLiteral("只统计报价大于(&P)"), this);
    m_priceFilter->setObjectName(QStringLiteral("reminderPriceFilter"));
    m_minPrice = new QSpinBox(this);
    m_minPrice->setObjectName(QStringLiteral("reminderMinPrice"));
    m_minPrice->setRange(0, 999999999);
    m_minPrice->setSuffix(QStringLiteral(" 元的域名"));
    m_minPrice->setAccessibleName(QStringLiteral("最低报价"));
    priceRow->addWidget(m_priceFilter);
    priceRow->addWidget(m_minPrice, 1);
    column->addLayout(priceRow);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("保  存"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("reminderSave"));
    save->setDefault(true);
    buttons->addButton(QStringLiteral("取  消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReminderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReminderDialog::reject);
    column->addWidget(buttons);

    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) {
        m_thresholds->setEnabled(on);
        m_priceFilter->setEnabled(on);
        m_minPrice->setEnabled(on && m_priceFilter->isChecked());
    });
    connect(m_priceFilter, &QCheckBox::toggled, m_minPrice, &QSpinBox::setEnabled);
    load(ReminderSettings::load());
}

void ReminderDialog::load(const ReminderOptions& options)
{
    QStringList days;
    for (const int d : options.thresholds)
        days.append(QString::number(d));
    m_thresholds->setText(days.join(QStringLiteral(", ")));
    m_priceFilter->setChecked(options.priceFilter);
    m_minPrice->setValue(options.minPrice);
    m_enabled->setChecked(options.enabled);
    m_minPrice->setEnabled(options.enabled && options.priceFilter);
    m_thresholds->setEnabled(options.enabled);
    m_priceFilter->setEnabled(options.enabled);
}

bool ReminderDialog::parseThresholds(const QString& text, QList<int>* days, QString* reason)
{
    days->clear();
    QString normalised = text;
    normalised.replace(QChar(u'，'), QLatin1Char(',')).replace(QChar(u'、'), QLatin1Char(','));
    for (const QString& part : normalised.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        bool ok = false;
        const int d = part.trimmed().toInt(&ok);
        if (!ok || d < 0 || d > 3650) {
            *reason = QStringLiteral("提前天数“%1”不是 0 到 3650 之间的整数。").arg(part.trimmed());
            return false;
        }
        if (!days->contains(d))
            days->append(d);
    }
    if (days->isEmpty()) {
        *reason = QStringLiteral("请至少填写一个提前天数，例如 30, 7, 1。");
        return false;
    }
    std::sort(days->begin(), days->end(), std::greater<int>());
    return true;
}

void ReminderDialog::accept()
{
    ReminderOptions options;
    options.enabled = m_enabled->isChecked();
    QString reason;
    if (!parseThresholds(m_thresholds->text(), &options.thresholds, &reason)) {
        MessageBox::show(this, MessageBox::Warning, QStringLiteral("提示"), reason, MessageBox::Ok);
        m_thresholds->setFocus();
        m_thresholds->selectAll();
        return;
    }
    options.priceFilter = m_priceFilter->isChecked();
    options.minPrice = m_minPrice->value();
    if (const QString error = ReminderSettings::save(options); !error.isEmpty()) {
        MessageBox::show(this, MessageBox::Warning, QStringLiteral("提示"), error, MessageBox::Ok);
        return;
    }
    QDialog::accept();
}
