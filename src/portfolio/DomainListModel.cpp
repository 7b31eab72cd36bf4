#include "DomainListModel.h"

#include "ExpiryStyle.h"
#include "db/Dataset.h"
#include "db/DomainList.h"
#include "platform/Platform.h"

#include <algorithm>

DomainListModel::DomainListModel(QObject* parent) : DomainListModel(fieldNames(), defaultHeadings(), parent)
{
}

DomainListModel::DomainListModel(const QStringList& fields, const QStringList& headings, QObject* parent)
    : QAbstractTableModel(parent), m_fields(fields), m_defaultHeadings(headings), m_headings(headings)
{
    refreshFieldMap();
}

const QStringList& DomainListModel::defaultHeadings()
{
    static const QStringList headings = {QStringLiteral("域名"), QStringLiteral("报价"),
                                         QStringLiteral("说明"), QStringLiteral("注册商"),
                                         QStringLiteral("到期")};
    return headings;
}

const QStringList& DomainListModel::fieldNames()
{
    static const QStringList names = {QStringLiteral("a1"), QStringLiteral("a9"), QStringLiteral("a2"),
                                      QStringLiteral("a3"), QStringLiteral("a6")};
    return names;
}

const QStringList& DomainListModel::choosableFields()
{
    static const QStringList names = fieldNames() + QStringList{QStringLiteral("a5"), QStringLiteral("a4"),
                                                                QStringLiteral("a7"), QStringLiteral("a8")};
    return names;
}

QString DomainListModel::headingOf(const QString& field)
{
    static const QStringList headings =
        defaultHeadings() + QStringList{QStringLiteral("注册日期"), QStringLiteral("管理地址"),
                                        QStringLiteral("备注"), QStringLiteral("管理密码")};
    return headings.value(int(choosableFields().indexOf(field)));
}

void DomainListModel::setColumnShown(const QString& field, bool shown)
{
    const int at = int(m_fields.indexOf(field));
    if (shown == (at >= 0) || !choosableFields().contains(field))
        return;
    if (!shown) {
        beginRemoveColumns({}, at, at);
        m_fields.removeAt(at);
        m_defaultHeadings.removeAt(at);
        m_headings.removeAt(at);
        m_room.clear();
        refreshFieldMap();
        endRemoveColumns();
        return;
    }
    // Its place: after the shown columns that come before it in the order of choosableFields().
    const int rank = int(choosableFields().indexOf(field));
    int column = 0;
    while (column < m_fields.size() && choosableFields().indexOf(m_fields[column]) < rank)
        ++column;
    beginInsertColumns({}, column, column);
    m_fields.insert(column, field);
    m_defaultHeadings.insert(column, headingOf(field));
    m_headings.insert(column, headingOf(field));
    m_room.clear();
    refreshFieldMap();
    endInsertColumns();
}

void DomainListModel::setPasswordsShown(bool shown)
{
    if (m_passwordsShown == shown)
        return;
    m_passwordsShown = shown;
    const int column = int(m_fields.indexOf(QStringLiteral("a8")));
    if (column >= 0 && rowCount() > 0)
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

void DomainListModel::setTextRoom(const QFontMetrics& metrics, const QList<int>& room)
{
    m_metrics = metrics;
    m_room = room;
}

QString DomainListModel::displayText(int row, int column) const
{
    if (!m_dataset)
        return {};
    QString text = m_dataset->value(row, m_fieldIndex.value(column, -1));
    const QString& field = m_fields.value(column);
    if (field == QLatin1String("a8") && !m_passwordsShown && !text.isEmpty())
        return QStringLiteral("••••••");
    if (field == QLatin1String("a7") &&
        (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        text.replace(QLatin1Char('\n'), QStringLiteral("  "));
    }
    return text;
}

QVariant DomainListModel::toolTip(const QModelIndex& index) const
{
    if (!m_metrics || index.column() >= m_room.size())
        return {};
    const QString text = displayText(index.row(), index.column());
    if (text.isEmpty() || m_metrics->horizontalAdvance(text) <= m_room[index.column()])
        return {};
    // A cut-off note shows its lines as they are; a masked password stays masked.
    if (m_fields.value(index.column()) == QLatin1String("a7"))
        return m_dataset->value(index.row(), m_fieldIndex.value(index.column(), -1));
    return text;
}

QString DomainListModel::markedHeading(const QString& heading, bool ascending)
{
    QString text = heading.trimmed();
    if (text.contains(QChar(0x2228)) || text.contains(QChar(0x2227)))
        text.chop(1);
    text = text.trimmed();
    return text + (ascending ? QStringLiteral(" \u2227") : QStringLiteral(" \u2228"));
}

void DomainListModel::setList(const DomainList* list)
{
    beginResetModel();
    if (m_list)
        disconnect(m_list, nullptr, this, nullptr);
    m_list = list;
    m_dataset = list ? list->rows() : nullptr;
    refreshFieldMap();
    if (m_list) {
        connect(m_list, &DomainList::changed, this, &DomainListModel::follow);
        connect(m_list, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_list = nullptr;
            m_dataset = nullptr;
            refreshFieldMap();
            endResetModel();
        });
    }
    endResetModel();
}

void DomainListModel::follow(const ListChange& change)
{
    using Kind = ListChange::Kind;
    switch (change.kind) {
    case Kind::Reset:
        if (!change.done) {
            beginResetModel();
        } else {
            refreshFieldMap();
            endResetModel();
        }
        break;
    case Kind::RowsInserted:
    case Kind::FillProgress:
        if (!change.done)
            beginInsertRows({}, change.first, change.last);
        else
            endInsertRows();
        break;
    case Kind::RowsRemoved:
        if (!change.done)
            beginRemoveRows({}, change.first, change.last);
        else
            endRemoveRows();
        break;
    case Kind::CurrentMoved:
    case Kind::FillFinished:
    case Kind::FillFailed:
        break;
    }
}

void DomainListModel::refreshFieldMap()
{
    m_fieldIndex.clear();
    for (const QString& name : m_fields)
        m_fieldIndex.append(m_dataset ? m_dataset->fieldIndex(name) : -1);
    m_expiryField = m_dataset ? m_dataset->fieldIndex(QStringLiteral("a6")) : -1;
    m_expiryColumn = int(m_fields.indexOf(QStringLiteral("a6")));
}

void DomainListModel::setHeading(int column, const QString& text)
{
    if (column < 0 || column >= m_headings.size() || m_headings[column] == text)
        return;
    m_headings[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DomainListModel::resetHeadings(int columns)
{
    const int count = columns < 0 ? int(m_headings.size()) : std::min(columns, int(m_headings.size()));
    for (int column = 0; column < count; ++column)
        setHeading(column, m_defaultHeadings[column]);
}

int DomainListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_dataset ? 0 : m_dataset->recordCount();
}

int DomainListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant DomainListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_dataset)
        return {};
    if (role == Qt::DisplayRole)
        return displayText(index.row(), index.column());
    if (role == Qt::ToolTipRole && index.column() != m_expiryColumn)
        return toolTip(index);
    if (role == Qt::ForegroundRole || role == Qt::ToolTipRole || role == ExpiryStatusRole)
        return expiryData(index, role);
    return {};
}

QVariant DomainListModel::expiryData(const QModelIndex& index, int role) const
{
    if (m_expiryField < 0)
        return {};
    const expiry::Day day = expiry::parse(m_dataset->rawValue(index.row(), m_expiryField));
    const expiry::Day today = expiry::dayOf(Platform::today());
    const expiry::Status status = expiry::classify(day, today);
    switch (role) {
    case ExpiryStatusRole:
        return int(status);
    case Qt::ToolTipRole:
        // On the expiry date itself: how many days are left.
        if (index.column() == m_expiryColumn)
            return expiry::remainingText(day, today);
        return {};
    default: {
        // Expired and within 30 days colour the whole row; within 90 days only the date.
        if (status == expiry::Status::Within90 && index.column() != m_expiryColumn)
            return {};
        const QColor colour = expirystyle::colour(status);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    }
}

QVariant DomainListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headings.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headings.value(section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}
