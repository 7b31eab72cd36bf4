#include "BulkActions.h"

#include "BulkEditDialog.h"
#include "ListChange.h"
#include "db/Backup.h"
#include "db/BulkEdit.h"
#include "db/DataModule.h"
#include "db/UndoHistory.h"
#include "platform/Dialogs.h"
#include "platform/LongWork.h"
#include "platform/Platform.h"

#include <algorithm>

namespace bulkactions {

namespace {
// A copy of the file before many domains are written, as before an import.
void backUp(QWidget* parent, TDataModule2* data)
{
    const QString failed = backup::make(data->Conn_service(), Connection::kFileName,
                                        QDateTime(Platform::today(), QTime::currentTime()))
                               .error();
    if (!failed.isEmpty() && backup::reportFailureOnce())
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"), failed, MessageBox::Ok);
}

void sayFailure(QWidget* parent, const rowwriter::Outcome& outcome, const QString& nothingDone)
{
    if (outcome.cancelled || outcome.told)
        return;
    if (!outcome.conflict.isEmpty())
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"),
                         outcome.result.error() + nothingDone, MessageBox::Ok);
    else
        MessageBox::appError(parent, outcome.result.error());
}
} // namespace

namespace {
// The progress of writing (or taking) rows on a long-work window's bar, where `before` of `whole` were done
// by earlier work on the same bar (whole 0: the writing's own total).
rowwriter::Progress progressOf(LongWork& work, qint64 before, qint64 whole)
{
    return [&work, before, whole](qint64 done, qint64 total) {
        if (done < 0)
            return work.stepUncounted();
        const qint64 all = whole > 0 ? whole : total;
        return work.step(int(std::min(before + done, all)), int(all));
    };
}
} // namespace

rowwriter::Outcome withProgress(QWidget* parent, const QString& label,
                                const std::function<rowwriter::Outcome(const rowwriter::Progress&)>& write)
{
    WaitCursor wait;
    LongWork work(parent, QStringLiteral("请稍候"), label, 0);
    return write(progressOf(work, 0, 0));
}

namespace {
// Makes the change of a command just built (after a copy of the file), and records it to be undone.
bool makeChange(QWidget* parent, TDataModule2* data, std::unique_ptr<ListCommand> command,
                const rowwriter::Progress& progress, const QString& nothingDone, UndoHistory* history)
{
    const rowwriter::Outcome outcome = command->apply(*data->domains(), progress);
    if (!outcome.result.ok()) {
        sayFailure(parent, outcome, nothingDone);
        return false;
    }
    if (history)
        history->push(std::move(command));
    return true;
}
} // namespace

bool deleteRows(QWidget* parent, TDataModule2* data, const std::vector<int>& rows, UndoHistory* history)
{
    DomainList* list = data->domains();
    const MessageBox::Button answer =
        MessageBox::show(parent, MessageBox::Question, QStringLiteral("删除确认"),
                         QStringLiteral("确定要删除选中的 %1 个域名吗？").arg(rows.size()),
                         MessageBox::Ok | MessageBox::Cancel);
    if (answer != MessageBox::Ok || !readWholeList(parent, list))
        return false;
    backUp(parent, data);
    // One bar for both halves: the rows taken (kept to undo the deletion), then deleted; 取消 in either
    // deletes nothing.
    WaitCursor wait;
    const auto count = qint64(rows.size());
    LongWork work(parent, QStringLiteral("请稍候"), QStringLiteral("正在删除 %1 个域名……").arg(count), 0);
    std::optional<RowPack> taken = RowPack::fromRows(*list->rows(), rows, progressOf(work, 0, 2 * count));
    if (!taken)
        return false;
    return makeChange(parent, data, std::make_unique<DeleteCommand>(std::move(*taken)),
                      progressOf(work, count, 2 * count),
                      QStringLiteral("，没有删除任何域名。请刷新列表后再试。"), history);
}

bool editRows(QWidget* parent, TDataModule2* data, const std::vector<int>& rows, UndoHistory* history)
{
    DomainList* list = data->domains();
    if (!readWholeList(parent, list))
        return false;
    const RowPack chosen = RowPack::fromRows(*list->rows(), rows);
    const std::optional<bulkedit::Edit> edit = BulkEditDialog::ask(parent, chosen);
    if (!edit)
        return false;
    QStringList unreadable;
    RowChange change = bulkedit::changeFor(chosen, *edit, &unreadable);
    if (change.size() > 0) {
        backUp(parent, data);
        WaitCursor wait;
        LongWork work(parent, QStringLiteral("请稍候"),
                      QStringLiteral("正在修改 %1 个域名……").arg(change.size()), 0);
        if (!makeChange(parent, data, std::make_unique<BulkEditCommand>(std::move(change)),
                        progressOf(work, 0, 0), QStringLiteral("，没有修改任何域名。请刷新列表后再试。"),
                        history))
            return false;
    }
    if (!unreadable.isEmpty()) {
        const int shown = 20;
        QString names = unreadable.mid(0, shown).join(QStringLiteral("\n"));
        if (unreadable.size() > shown)
            names += QStringLiteral("\n……等 %1 个").arg(unreadable.size());
        MessageBox::show(parent, MessageBox::Information, QStringLiteral("提示"),
                         QStringLiteral("以下 %1 个域名的到期日期无法识别，没有顺延：\n%2")
                             .arg(unreadable.size())
                             .arg(names),
                         MessageBox::Ok);
    }
    return true;
}

namespace {
void step(QWidget* parent, TDataModule2* data, UndoHistory* history, bool back)
{
    if (!history || !(back ? history->canUndo() : history->canRedo()))
        return;
    DomainList* list = data->domains();
    const QString label = back ? history->undoText() : history->redoText();
    const rowwriter::Outcome outcome =
        withProgress(parent, label + QStringLiteral("……"), [&](const auto& progress) {
            return back ? history->undo(*list, progress) : history->redo(*list, progress);
        });
    if (!outcome.result.ok())
        sayFailure(parent, outcome, QString());
}
} // namespace

void undo(QWidget* parent, TDataModule2* data, UndoHistory* history)
{
    step(parent, data, history, true);
}

void redo(QWidget* parent, TDataModule2* data, UndoHistory* history)
{
    step(parent, data, history, false);
}

} // namespace bulkactions
