#pragma once

#include "db/BulkEdit.h"

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// 批量修改: what to change in every domain chosen. Only says what; the change is bulkedit's.
class BulkEditDialog : public QDialog
{
    Q_OBJECT
public:
    BulkEditDialog(const RowPack& rows, QWidget* parent = nullptr);

    // The edit as filled in (fields not ticked stay as they are).
    bulkedit::Edit edit() const;
    // "将修改 37 个域名", with the dates that cannot be moved on.
    QString previewText() const;

    // Shows the dialog for the rows; the edit, or nothing when cancelled (or nothing was chosen).
    static std::optional<bulkedit::Edit> ask(QWidget* parent, const RowPack& rows);
    // Tests answer the dialog here instead of a person: the hook fills it in and says whether it is
    // accepted. An empty hook shows it again.
    static void setTestAnswer(std::function<bool(BulkEditDialog&)> answer);

    QLineEdit* field(const char* name) const;
    QCheckBox* tick(const char* name) const;
    QComboBox* notesMode() const { return m_notesMode; }
    QSpinBox* years() const { return m_years; }

private:
    void updatePreview();
    int m_rows = 0;
    int m_unreadableDates = 0;
    QComboBox* m_notesMode = nullptr;
    QLineEdit* m_notes = nullptr;
    QCheckBox* m_extend = nullptr;
    QSpinBox* m_years = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_ok = nullptr;
};
