#include "ListSelection.h"

#include "db/Dataset.h"
#include "db/DomainList.h"

#include <QItemSelectionModel>
#include <algorithm>

namespace listselection {

std::vector<std::pair<int, int>> runs(const QItemSelection& selection)
{
    std::vector<std::pair<int, int>> spans;
    spans.reserve(size_t(selection.size()));
    for (const QItemSelectionRange& range : selection)
        spans.emplace_back(range.top(), range.bottom());
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    return merged;
}

int count(const QItemSelectionModel* model)
{
    int n = 0;
    for (const auto& [first, last] : runs(model->selection()))
        n += last - first + 1;
    return n;
}

std::vector<int> rows(const QItemSelectionModel* model)
{
    std::vector<int> all;
    for (const auto& [first, last] : runs(model->selection())) {
        for (int row = first; row <= last; ++row)
            all.push_back(row);
    }
    return all;
}

namespace {
qint64 aidOf(const Dataset& rows, int keyField, int row)
{
    qint64 n = 0;
    for (const char c : rows.rawValue(row, keyField))
        n = n * 10 + (c - '0');
    return n;
}
} // namespace

std::vector<qint64> aids(const DomainList& list, const QItemSelectionModel* model)
{
    const Dataset& rows = *list.rows();
    const int keyField = rows.fieldIndex(QStringLiteral("aid"));
    std::vector<qint64> keys;
    for (const auto& [first, last] : runs(model->selection())) {
        for (int row = first; row <= last; ++row)
            keys.push_back(aidOf(rows, keyField, row));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

void reselect(DomainList& list, QItemSelectionModel* model, const std::vector<qint64>& aids)
{
    const Dataset& rows = *list.rows();
    const int keyField = rows.fieldIndex(QStringLiteral("aid"));
    const QAbstractItemModel* items = model->model();
    const int lastColumn = items->columnCount() - 1;
    QItemSelection selection;
    int runStart = -1;
    const int count = list.count();
    for (int row = 0; row <= count; ++row) {
        const bool chosen =
            row < count && std::binary_search(aids.begin(), aids.end(), aidOf(rows, keyField, row));
        if (chosen && runStart < 0)
            runStart = row;
        if (!chosen && runStart >= 0) {
            selection.append(
                QItemSelectionRange(items->index(runStart, 0), items->index(row - 1, lastColumn)));
            runStart = -1;
        }
    }
    if (selection.isEmpty())
        return;
    list.setCurrentRow(selection.first().top());
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace listselection
