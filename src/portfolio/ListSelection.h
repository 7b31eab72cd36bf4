#pragma once

#include <QtGlobal>
#include <utility>
#include <vector>

class DomainList;
class QItemSelection;
class QItemSelectionModel;

// The rows chosen in the domain list, taken from the selection's ranges (never row by row over the whole
// list, so that a million rows selected at once cost as little as one).
namespace listselection {

// The selected rows as runs first .. last, ascending, each row once.
std::vector<std::pair<int, int>> runs(const QItemSelection& selection);
// How many rows are selected.
int count(const QItemSelectionModel* model);
// The selected rows, ascending.
std::vector<int> rows(const QItemSelectionModel* model);
// The aids of the selected rows of the list, ascending.
std::vector<qint64> aids(const DomainList& list, const QItemSelectionModel* model);
// Selects the rows of the list whose aids are given (ascending) and makes the first of them current;
// nothing when none is there any more.
void reselect(DomainList& list, QItemSelectionModel* model, const std::vector<qint64>& aids);

} // namespace listselection
