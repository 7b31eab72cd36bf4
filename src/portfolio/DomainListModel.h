#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class Dataset;

// Adapts the domain query to the list: five columns (a1, a9, a2, a3, a6) with their headings.
// It holds no rows of its own; every value is read from the dataset when drawn.
class DomainListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DomainListModel(QObject* parent = nullptr);
    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_dataset; }

    static const QStringList& defaultHeadings(); // "域名", "报价", "说明", "注册商", "到期"
    static const QStringList& fieldNames();      // a1, a9, a2, a3, a6

    void setHeading(int column, const QString& text);
    QString heading(int column) const { return m_headings.value(column); }
    void resetHeadings();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void refreshFieldMap();
    Dataset* m_dataset = nullptr;
    QStringList m_headings;
    QList<int> m_fieldIndex;
};
