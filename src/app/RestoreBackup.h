#pragma once

#include <QDialog>

#include <atomic>

class QLabel;
class QPushButton;
class QTableWidget;
class QThread;

// 从备份恢复: the copies of the database with their time, size and domain count (counted on a thread of
// their own, the newest first); returns the name of the copy chosen. Restoring is the caller's.
class TRestoreBackup : public QDialog
{
    Q_OBJECT
public:
    TRestoreBackup(const QString& dbPath, QWidget* parent = nullptr);
    ~TRestoreBackup() override;

    // The copy chosen with "恢复", empty when the dialog was cancelled.
    QString chosen() const { return m_chosen; }
    QTableWidget* table() const { return m_table; }
    QPushButton* restoreButton() const { return m_restore; }
    // Whether every copy has been counted.
    bool counted() const { return m_counted; }

signals:
    void countsDone();

private:
    void countCopies();
    QString m_dbPath;
    QString m_chosen;
    QTableWidget* m_table;
    QPushButton* m_restore;
    QThread* m_counter = nullptr;
    std::atomic_bool m_stop{false};
    bool m_counted = false;
};
