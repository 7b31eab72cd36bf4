#pragma once

#include "db/RowChanges.h"

#include <functional>
#include <vector>

class QWidget;
class TDataModule2;
class UndoHistory;

// The panel's work on many domains at once and on the undo history: each asks, writes through the
// domain list with a progress window for long work, says what failed, and records what it did.
namespace bulkactions {

// Runs a write, with a progress window (and 取消, which stops it before anything is kept) when it takes
// more than a moment.
rowwriter::Outcome withProgress(QWidget* parent, const QString& label,
                                const std::function<rowwriter::Outcome(const rowwriter::Progress&)>& write);

// 删除 of the rows selected (more than one): asks "确定要删除选中的 N 个域名吗？", then deletes them in
// one transaction. True when they were deleted.
bool deleteRows(QWidget* parent, TDataModule2* data, const std::vector<int>& rows, UndoHistory* history);

// 批量修改… of the rows selected: the dialog, then the change in one transaction.
bool editRows(QWidget* parent, TDataModule2* data, const std::vector<int>& rows, UndoHistory* history);

// 撤销 / 重做 of the history's next step; a refusal is said with its reason.
void undo(QWidget* parent, TDataModule2* data, UndoHistory* history);
void redo(QWidget* parent, TDataModule2* data, UndoHistory* history);

} // namespace bulkactions
