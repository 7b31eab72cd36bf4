#include "UndoHistory.h"

#include "DomainList.h"

#include <algorithm>

namespace {
RowPack packOf(const DomainRecord& record)
{
    RowPack pack;
    pack.add(record);
    return pack;
}

QString manyOrOne(const RowPack& rows, const QString& verb)
{
    if (rows.size() == 1)
        return QStringLiteral("%1域名 %2").arg(verb, rows.domain(0));
    return QStringLiteral("%1 %2 个域名").arg(verb).arg(rows.size());
}
} // namespace

rowwriter::Outcome ListCommand::apply(DomainList& list, const rowwriter::Progress& progress) const
{
    return list.write(m_change, progress);
}

rowwriter::Outcome ListCommand::revert(DomainList& list, const rowwriter::Progress& progress) const
{
    return list.write(m_change.reversed(), progress);
}

QString DeleteCommand::description() const
{
    return manyOrOne(change().before, QStringLiteral("删除"));
}

QString BulkEditCommand::description() const
{
    return QStringLiteral("批量修改 %1 个域名").arg(change().size());
}

EditCommand::EditCommand(const DomainRecord& before, const DomainRecord& after)
    : ListCommand({packOf(before), packOf(after)})
{
}

QString EditCommand::description() const
{
    return manyOrOne(change().after, QStringLiteral("修改"));
}

AddCommand::AddCommand(const DomainRecord& added) : ListCommand({{}, packOf(added)}) {}

QString AddCommand::description() const
{
    return manyOrOne(change().after, QStringLiteral("添加"));
}

void UndoHistory::setLimit(size_t bytes)
{
    m_limit = bytes;
    keepWithinLimit();
    emit changed();
}

void UndoHistory::push(std::unique_ptr<ListCommand> command)
{
    m_undone.clear();
    m_done.push_back(std::move(command));
    keepWithinLimit();
    emit changed();
}

void UndoHistory::keepWithinLimit()
{
    size_t total = 0;
    for (const auto& c : m_done)
        total += c->bytes();
    for (const auto& c : m_undone)
        total += c->bytes();
    // The oldest go first: the steps to undo from the far end, then the redo steps furthest away.
    size_t drop = 0;
    while (total > m_limit && drop < m_done.size())
        total -= m_done[drop++]->bytes();
    if (drop > 0) {
        m_done.erase(m_done.begin(), m_done.begin() + qsizetype(drop));
        m_dropped = true;
    }
    while (total > m_limit && !m_undone.empty()) {
        total -= m_undone.front()->bytes();
        m_undone.erase(m_undone.begin());
        m_dropped = true;
    }
}

QString UndoHistory::undoText() const
{
    QString text =
        m_done.empty() ? QStringLiteral("撤销") : QStringLiteral("撤销：") + m_done.back()->description();
    if (m_dropped)
        text += QStringLiteral("（更早的步骤因占用内存过多已丢弃）");
    return text;
}

QString UndoHistory::redoText() const
{
    return m_undone.empty() ? QStringLiteral("重做")
                            : QStringLiteral("重做：") + m_undone.back()->description();
}

rowwriter::Outcome UndoHistory::undo(DomainList& list, const rowwriter::Progress& progress)
{
    return step(list, progress, true);
}

rowwriter::Outcome UndoHistory::redo(DomainList& list, const rowwriter::Progress& progress)
{
    return step(list, progress, false);
}

rowwriter::Outcome UndoHistory::step(DomainList& list, const rowwriter::Progress& progress, bool back)
{
    // Undo takes the last step done back and moves it to the steps to redo; redo the other way round.
    auto& from = back ? m_done : m_undone;
    auto& to = back ? m_undone : m_done;
    const QString verb = back ? QStringLiteral("撤销") : QStringLiteral("重做");
    rowwriter::Outcome outcome;
    if (from.empty()) {
        outcome.result = Result::failure(QStringLiteral("没有可以%1的操作").arg(verb));
        return outcome;
    }
    const ListCommand* command = from.back().get();
    const QString description = command->description();
    outcome = back ? command->revert(list, progress) : command->apply(list, progress);
    if (outcome.result.ok()) {
        // The step may have left the history meanwhile (one that takes itself out once undone).
        const auto at =
            std::find_if(from.begin(), from.end(), [command](const auto& c) { return c.get() == command; });
        if (at != from.end()) {
            if (!back || (*at)->canRedo())
                to.push_back(std::move(*at));
            from.erase(at);
        }
        emit changed();
    } else if (!outcome.conflict.isEmpty()) {
        outcome.result =
            Result::failure(QStringLiteral("无法%1“%2”：%3，%1会覆盖之后的修改。")
                                .arg(verb, description, rowwriter::conflictText(outcome.conflict)));
    }
    return outcome;
}

void UndoHistory::clear()
{
    m_done.clear();
    m_undone.clear();
    emit changed();
}

void UndoHistory::remove(const std::function<bool(const ListCommand&)>& stale)
{
    const auto isStale = [&](const std::unique_ptr<ListCommand>& c) { return stale(*c); };
    const size_t before = m_done.size() + m_undone.size();
    std::erase_if(m_done, isStale);
    std::erase_if(m_undone, isStale);
    if (m_done.size() + m_undone.size() != before)
        emit changed();
}
