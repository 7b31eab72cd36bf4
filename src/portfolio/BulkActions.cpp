#include "BulkActions.h"

#include "BulkEditDialog.h"
#include "ListChange.h"
#include "db/Backup.h"
#include "db/BulkEdit.h"
#include "db/DataModule.h"
#include "db/UndoHistory.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <algorithm>

namespace bulkactions {

namespace {
// A copy of the file before many domains are written, as before an import.
void backUp(QWidget* parent, TDataModule2* data)
{
    const QString failed = backup::make(data->Conn_service(), Connection::kFileName,
                                        QDateTime(Platform::today(), QTime::currentTime()));
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

rowwriter::Outcome withProgress(QWidget* parent, const QString& label,
                                const std::function<rowwriter::Outcome(const rowwriter::Progress&)>& write)
{
    WaitCursor wait;
    std::unique_ptr<QProgressDialog> window;
    QElapsedTimer clock;
    clock.start();
    const rowwriter::Progress progress = [&](qint64 done, qint64 total) {
        // At once for a large change, else once it takes more than a moment.
        if (!window && (clock.elapsed() > 500 || total >= 100000)) {
            window = std::make_unique<QProgressDialog>(label, QStringLiteral("取消"), 0, int(total), parent);
            window->setWindowTitle(QStringLiteral("请稍候"));
            window->setWindowModality(Qt::WindowModal);
            window->setMinimumDuration(0);
        }
        if (window) {
            if (done < 0)
                window->setRange(0, 0); // going on, not counted
            window->setValue(int(std::max<qint64>(done, 0)));
            if (window->wasCanceled())
                return false;
        }
        return true;
    };
    return write(progress);
}

namespace {
// Makes the change of a command just built (after a copy of the file), and records it to be undone.
bool makeChange(QWidget* parent, TDataModule2* data, std::unique_ptr<ListCommand> command,
                const QString& label, const QString& nothingDone, UndoHistory* history)
{
    backUp(parent, data);
    const rowwriter::Outcome outcome = withProgress(parent, label, [&](const rowwriter::Progress& progress) {
        return command->apply(*data->domains(), progress);
    });
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
    return makeChange(parent, data, std::make_unique<DeleteCommand>(RowPack::fromRows(*list->rows(), rows)),
                      QStringLiteral("正在删除 %1 个域名……").arg(rows.size()),
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
        const size_t count = change.size();
        if (!makeChange(parent, data, std::make_unique<BulkEditCommand>(std::move(change)),
                        QStringLiteral("正在修改 %1 个域名……").arg(count),
                        QStringLiteral("，没有修改任何域名。请刷新列表后再试。"), history))
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
