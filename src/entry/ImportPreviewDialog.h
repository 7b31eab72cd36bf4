#pragma once

#include "HeadingMap.h"
#include "ImportPlan.h"

#include <QDialog>
#include <QList>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The preview of an import by headings: each column's field (changeable, or "不导入"), how a date
// column's numbers read, what to do with domains already there, the first rows as they will be stored
// and what will happen to all of them. Returns the settings chosen and their plan; 取消 stores nothing.
class ImportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    // replan works a plan out for settings (the rows of the sheet behind it).
    using Replan = std::function<importplan::Plan(const importplan::Settings&)>;
    ImportPreviewDialog(const headingmap::Columns& columns, const QStringList& samples,
                        const importplan::Settings& settings, Replan replan, QWidget* parent = nullptr);

    const importplan::Settings& settings() const { return m_settings; }
    const importplan::Plan& plan() const { return m_plan; }

    // The rows shown in the table at most.
    static constexpr int kShownRows = 20;

private:
    void settingsChanged();
    void showPlan();

    importplan::Settings m_settings;
    importplan::Plan m_plan;
    Replan m_replan;
    QList<QComboBox*> m_fields; // per column
    QList<QComboBox*> m_orders; // per column, shown for date fields
    QStringList m_headings;
    QComboBox* m_duplicates = nullptr;
    QLabel* m_ask = nullptr;
    QLabel* m_counts = nullptr;
    QTableWidget* m_table = nullptr;
    QPushButton* m_import = nullptr;
};

// What an import did: "导入完成：新增 N 个，更新 M 个，跳过 K 个", the rows not stored and why (copyable),
// and "撤销上次导入" (also Ctrl+Z).
class ImportResultDialog : public QDialog
{
    Q_OBJECT
public:
    // canUndo: the import changed something that "撤销上次导入" can take back.
    ImportResultDialog(const importplan::Counts& counts, const QStringList& lines, bool canUndo,
                       QWidget* parent = nullptr);
    static QString summary(const importplan::Counts& counts);

Q_SIGNALS:
    void undoRequested();

private:
    QPushButton* m_undo = nullptr;
};
