#pragma once

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTableView>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class DomainList;
class DomainListModel;
struct ListChange;

// The domain list on screen (bsSkinDBGrid1): the table of the rows the domain list holds, its current row
// kept in step with the list's, the columns sharing the width, the heading row with its sort clicks and its
// menu of columns, and the line said over the rows when a search finds nothing.
class DomainTable : public QTableView
{
    Q_OBJECT
public:
    explicit DomainTable(QWidget* parent = nullptr);

    // The rows shown and followed; null shows none.
    void setList(DomainList* list);
    DomainListModel* listModel() const { return m_model; }

    // How many domains are selected.
    int selectedCount() const;
    // A heading click: sorts by that column, the domains selected staying selected.
    void sortByHeading(int column);

    // The first `columns` headings back to "域名", "报价", "说明", "注册商", "到期".
    void resetHeadings(int columns = 5);
    void setHeading(int column, const QString& text);
    QString heading(int column) const;

    // The columns shown (fields a1 .. a9, in column order) and the widths the user set for them (0 for a
    // width the list fits itself).
    QStringList shownColumns() const;
    QList<int> rememberedWidths() const;
    QList<int> columnWidths() const;
    void setColumnShown(const QString& field, bool shown);
    // Puts remembered columns and widths back; see TFr_guanli::restoreLayout.
    void restoreColumns(const QList<int>& widths, const QStringList& columns);
    // The width of the list that shows every column at its starting width.
    int fittingWidth() const;
    // The columns share the list's width: see columnfit::widths. Texts measured on the rows on screen.
    void fitColumns();

    // The choice of columns, for the list's own menu and the heading row's.
    QAction* columnsAction() const { return m_columnsAction; }

    // The line over the rows (没有找到…); an empty text takes it away.
    void showNotice(const QString& text);
    QString noticeText() const;

signals:
    void selectionCountChanged(int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followListChange(const ListChange& change);
    void followCurrentRow(int row);
    void listCurrentChanged(int row);
    void fitLater();
    void forgetFit(); // new rows: measure afresh
    int cellMargin() const;
    int fullDateWidth() const;
    void buildColumnsMenu();
    void updateColumnsMenu();

    QPointer<DomainList> m_list;
    DomainListModel* m_model = nullptr;
    QLabel* m_notFound = nullptr; // over the rows: 没有找到包含“…”的域名
    // True while the view is being moved to the list's row, or while the list changes its rows: moves of
    // the view made then are not passed back to the list.
    bool m_syncing = false;
    bool m_fitting = false;           // the widths being set are the program's, not the user's
    QTimer* m_fitTimer = nullptr;     // one fit for many changes at once
    QHash<QString, int> m_userWidths; // per field, a width the user set
    QHash<QString, int> m_needs;      // per field, the widest text on screen since the rows came
    QMenu* m_columnsMenu = nullptr;   // the columns shown, from the heading row
    QAction* m_columnsAction = nullptr;
};
