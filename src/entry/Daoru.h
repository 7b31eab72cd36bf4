#pragma once

#include <QDialog>

class MappedImport;
class QLabel;
class QPushButton;
class TDataModule2;

// "从EXCEL文件批量导入域名": explains the sheet layout, lets the user pick an .xls file and adds one
// domain per row of its first worksheet, then reloads the domain list.
class Tdaoru : public QDialog
{
    Q_OBJECT
public:
    explicit Tdaoru(QWidget* parent = nullptr);
    void bindData(TDataModule2* data);

    // Empties the hidden path label; runs on every showing.
    void FormShow();
    // "从EXCEL导 入": the import.
    void bsSkinButton1Click();
    // "取  消": closes the dialog.
    void bsSkinButton2Click();
    // "撤销上次导入" (also Ctrl+Z): takes the last import by headings back.
    void undoImportClick();
    // A sheet with a heading row goes through this import, with its preview.
    MappedImport* mappedImport() const { return m_mapped; }

    // Refused while an import runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setBusy(bool busy);

    TDataModule2* m_data = nullptr;
    QLabel* m_picture = nullptr;     // bsSkinLinkImage1, the sheet layout
    QPushButton* m_import = nullptr; // bsSkinButton1
    QPushButton* m_cancel = nullptr; // bsSkinButton2
    QLabel* m_path = nullptr;        // bsSkinStdLabel9, the chosen file (never shown)
    QPushButton* m_undo = nullptr;   // 撤销上次导入, shown while the last import can be taken back
    MappedImport* m_mapped = nullptr;
    bool m_busy = false;
};
