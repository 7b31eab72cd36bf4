#pragma once

#include "RowChanges.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class DomainList;

// One change of the domain list made in this run that can be taken back and made again: it keeps the
// rows before and after, and writes either through the domain list (which the list then follows).
class ListCommand
{
public:
    virtual ~ListCommand() = default;
    // What the change did, as the undo item names it: "删除 37 个域名".
    virtual QString description() const = 0;
    virtual rowwriter::Outcome apply(DomainList& list, const rowwriter::Progress& progress = {}) const;
    virtual rowwriter::Outcome revert(DomainList& list, const rowwriter::Progress& progress = {}) const;
    // Whether, once undone, it can be made again (else it leaves the history when undone).
    virtual bool canRedo() const { return true; }
    size_t bytes() const { return m_change.bytes(); }
    const RowChange& change() const { return m_change; }

protected:
    explicit ListCommand(RowChange change) : m_change(std::move(change)) {}

private:
    RowChange m_change;
};

// Domains deleted (from the list, one or many): taken back, they return with their aids.
class DeleteCommand : public ListCommand
{
public:
    explicit DeleteCommand(RowPack deleted) : ListCommand({std::move(deleted), {}}) {}
    QString description() const override;
};

// The same change made to many domains at once (批量修改).
class BulkEditCommand : public ListCommand
{
public:
    explicit BulkEditCommand(RowChange change) : ListCommand(std::move(change)) {}
    QString description() const override;
};

// One domain edited in its dialog.
class EditCommand : public ListCommand
{
public:
    EditCommand(const DomainRecord& before, const DomainRecord& after);
    QString description() const override;
};

// One domain added in its dialog (with the aid it was given).
class AddCommand : public ListCommand
{
public:
    explicit AddCommand(const DomainRecord& added);
    QString description() const override;
};

// The changes of this run, to take back (undo) and make again (redo) in order, one step each, as in a
// document editor. A step whose rows were changed since (by this window, the command line or another
// program) is refused, naming the domain, and stays. The rows kept are bounded in size: the oldest steps
// are dropped first.
class UndoHistory : public QObject
{
    Q_OBJECT
public:
    static constexpr size_t kDefaultLimit = size_t(256) * 1024 * 1024;
    explicit UndoHistory(QObject* parent = nullptr) : QObject(parent) {}

    void setLimit(size_t bytes);
    // A change just made: it becomes the next to undo; what was undone can no longer be redone.
    void push(std::unique_ptr<ListCommand> command);

    bool canUndo() const { return !m_done.empty(); }
    bool canRedo() const { return !m_undone.empty(); }
    // "撤销：删除 37 个域名", "撤销" when there is nothing; says when older steps were dropped.
    QString undoText() const;
    QString redoText() const;
    // Whether steps were dropped to keep within the limit.
    bool dropped() const { return m_dropped; }

    rowwriter::Outcome undo(DomainList& list, const rowwriter::Progress& progress = {});
    rowwriter::Outcome redo(DomainList& list, const rowwriter::Progress& progress = {});
    void clear();
    // Takes the steps `stale` names out (ones that can no longer be made or undone).
    void remove(const std::function<bool(const ListCommand&)>& stale);

signals:
    void changed();

private:
    void keepWithinLimit();
    rowwriter::Outcome step(DomainList& list, const rowwriter::Progress& progress, bool back);
    std::vector<std::unique_ptr<ListCommand>> m_done;   // oldest first
    std::vector<std::unique_ptr<ListCommand>> m_undone; // the next to redo last
    size_t m_limit = kDefaultLimit;
    bool m_dropped = false;
};
