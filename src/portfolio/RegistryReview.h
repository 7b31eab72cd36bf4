#pragma once

#include "registry/Review.h"

#include <QAbstractTableModel>

#include <QDialog>
#include <QList>

class QLabel;
class QListWidget;
class QPushButton;
class QTableView;
class DifferenceModel;

// The review of what the registries said against the portfolio: above, what needs attention (names the
// registry does not hold, alarming statuses, failed look-ups); below, one row per differing value with
// its tick. Returns the ticked values; writes nothing itself.
class RegistryReview : public QDialog
{
    Q_OBJECT
public:
    explicit RegistryReview(const registry::Comparison& comparison, QWidget* parent = nullptr);

    // The differences the user left ticked, in the order shown.
    QList<registry::Difference> ticked() const;

    QTableView* table() const { return m_table; }
    QListWidget* notices() const { return m_notices; }
    QPushButton* applyButton() const { return m_apply; } // 应用所选

private:
    void updateApply();
    DifferenceModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QListWidget* m_notices = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_apply = nullptr;
};
