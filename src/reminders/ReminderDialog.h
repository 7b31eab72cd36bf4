#pragma once

#include "platform/LayoutSettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// "提醒设置": whether the desktop reminds of expiring domains, the days ahead of each reminder, and
// whether only the domains above a price count. Kept per user (ReminderSettings).
class ReminderDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReminderDialog(QWidget* parent = nullptr);

    // The days typed ("30, 7, 1"), largest first; false, with the reason, when one is not a whole number
    // from 0 to 3650 or none is given.
    static bool parseThresholds(const QString& text, QList<int>* days, QString* reason);

    void accept() override;

private:
    void load(const ReminderOptions& options);

    QCheckBox* m_enabled;
    QLineEdit* m_thresholds;
    QCheckBox* m_priceFilter;
    QSpinBox* m_minPrice;
};
