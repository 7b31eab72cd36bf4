#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class Dataset;
class DomainList;
struct ListChange;

// Adapts the domain list to a grid: a chosen set of its fields as columns, each with a heading.
// It holds no rows of its own; every value is read from the list's rows when drawn, and the
// list's resets, removals and additions (DomainList::changed) are passed on as the matching model
// changes.
class DomainListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The domain list: five columns a1, a9, a2, a3, a6 under the default headings.
    explicit DomainListModel(QObject* parent = nullptr);

    // The expiry status (an expiry::Status as int) of a row, read from its a6.
    static constexpr int ExpiryStatusRole = Qt::UserRole + 1;
    // Any columns: field names of the dataset and their default headings, in column order.
    DomainListModel(const QStringList& fields, const QStringList& headings, QObject* parent = nullptr);

    void setList(const DomainList* list);
    const DomainList* list() const { return m_list; }

    static const QStringList& defaultHeadings(); // "域名", "报价", "说明", "注册商", "到期"
    static const QStringList& fieldNames();      // a1, a9, a2, a3, a6

    // The heading after a click sorted its column: the old heading without blanks at either end and
    // without an earlier mark ("∧" or "∨", taken off as the last character), then " ∧" (ascending)
    // or " ∨" (descending).
    static QString markedHeading(const QString& heading, bool ascending);

    QString fieldName(int column) const { return m_fields.value(column); }
    void setHeading(int column, const QString& text);
    QString heading(int column) const { return m_headings.value(column); }
    // The first `columns` headings (all by default) back to their default texts.
    void resetHeadings(int columns = -1);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void refreshFieldMap();
    void follow(const ListChange& change);
    QVariant expiryData(const QModelIndex& index, int role) const;
    const DomainList* m_list = nullptr;
    const Dataset* m_dataset = nullptr; // its rows
    int m_expiryField = -1;             // a6 in the dataset
    int m_expiryColumn = -1;            // the column showing a6, if any
    QStringList m_fields;
    QStringList m_defaultHeadings;
    QStringList m_headings;
    QList<int> m_fieldIndex;
};
