#pragma once

#include "db/DomainList.h"
#include "db/DomainRecord.h"
#include "db/ListTotals.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

class QComboBox;
class QHeaderView;
class QLabel;
class QMenu;
class QTimer;
class PortfolioStatus;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QToolButton;
class DomainList;
struct ListChange;
class DomainListModel;
class FilterStrip;
struct ListFilter;
class ReportProject;
class TDataModule2;
class UndoHistory;

// The portfolio panel (Fr_guanli1): toolbar, domain list with the search strip, and the detail
// pane of the current domain. The list, the detail pane and every toolbar action work through the
// domain list service; its current row is the list's current row.
class TFr_guanli : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_guanli(QWidget* parent = nullptr);
    ~TFr_guanli() override;
    // Binds the list and the detail pane to the domain list of the data module.
    void bindData(TDataModule2* data);

    QTableView* bsSkinDBGrid1() const { return m_grid; } // the domain list
    DomainListModel* listModel() const { return m_model; }
    QLineEdit* searchBox() const { return m_search; } // bsSkinEdit1
    QSplitter* splitter() const { return m_splitter; }
    FilterStrip* filterStrip() const { return m_filters; } // the filters above the list
    // The portfolio's counts for the status bar; the main window places it, the panel fills it and
    // shows it while the panel itself is shown.
    PortfolioStatus* statusStrip() const;

    // The list's layout as the user left it: the splitter's state and the column widths.
    QByteArray splitterState() const;
    QList<int> columnWidths() const;
    // The columns shown (fields a1 .. a9, in column order) and the widths the user set for them (0 for a
    // width the list fits itself), to be remembered with the layout.
    QStringList shownColumns() const;
    QList<int> rememberedWidths() const;
    // Shows or hides a column of the list (the heading row's menu).
    void setColumnShown(const QString& field, bool shown);
    // Puts a remembered layout back; an empty or unfitting part is left at its starting value. Without
    // columns, the widths are those of the five columns of the first start, as kept before the columns
    // shown were remembered.
    void restoreLayout(const QByteArray& splitterState, const QList<int>& columnWidths,
                       const QStringList& columns = {});

    // The first `columns` headings back to "域名", "报价", "说明", "注册商", "到期".
    void resetHeadings(int columns = 5);
    void setHeading(int column, const QString& text);
    QString heading(int column) const;

    // Empty-list notice: true (after showing "请先添加域名") when the list holds no rows.
    bool refuseEmptyList();

    // The current record as the detail pane shows it.
    DomainRecord currentRecord() const { return m_shown; }

    // --- actions (the toolbar, the search strip and the list headings call these) ---
    void deleteCurrentDomain(); // 删 除 (the domains selected, when more than one)
    void editSelection();       // 批量修改… of the domains selected
    void undo();                // 撤销 the last change of this run
    void redo();                // 重做 what was undone last
    UndoHistory* undoHistory() const { return m_history; }
    // How many domains are selected in the list.
    int selectedCount() const;
    void resetToDefaultList();           // 刷 新 and 清除
    void searchFor(const QString& text); // in the scope chosen beside the box
    SearchScope searchScope() const;     // 只查域名 or 全部字段
    void setSearchScope(SearchScope scope);
    // What the list says when a search found nothing; empty while it says nothing.
    QString notFoundText() const;
    void sortByColumn(int column); // a heading click
    // The links of the status bar: the domains of the list that have expired / expire within 30 days,
    // soonest first (within a search, those the search finds).
    void listExpired();
    void listExpiring();
    void requestEdit(); // 编 辑, double-click or Enter on a row
    void printList();   // 打 印
    // 从注册局更新: 0 the current domain, 1 the domains listed now, 2 all domains.
    void updateFromRegistries(int scope);

    // The report project yuming.rav, open from the first print to the end of the run.
    const ReportProject& RvProject1() const { return *m_rvProject1; }

signals:
    void addRequested();    // 添 加
    void editRequested();   // 编 辑, the list holds rows
    void importRequested(); // 批量导入, the list holds rows
    void helpRequested();   // 帮 助

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildToolbar();
    QWidget* buildListColumn();
    QWidget* buildDetailPane();
    QToolButton* addToolButton(QWidget* bar, const char* name, const QString& icon, const QString& text);
    DomainList* list() const;
    void showCurrentRecord();
    void showNotFound();
    void showScopeHint();
    void applyFilter(const ListFilter& filter);
    void followCurrentRow(int row);
    void followListChange(const ListChange& change);
    void listCurrentChanged(int row);
    void openAddress(const QString& address);
    void updateTotals();
    void showExpiryNote(const QString& date);
    // The columns share the list's width: see columnfit::widths. Texts measured on the rows on screen.
    void fitColumns();
    void fitLater();
    void forgetFit(); // new rows: measure afresh
    int cellMargin() const;
    int fullDateWidth() const;
    QHeaderView* header() const;
    void buildColumnsMenu();
    void updateColumnsMenu();
    int fittingListWidth() const; // the list column that shows every column at its starting width

    TDataModule2* m_data = nullptr;
    QTableView* m_grid = nullptr;
    DomainListModel* m_model = nullptr;
    QLineEdit* m_search = nullptr;
    QComboBox* m_scope = nullptr; // 只查域名 / 全部字段
    FilterStrip* m_filters = nullptr;
    QLabel* m_notFound = nullptr; // over the list: 没有找到包含“…”的域名
    QSplitter* m_splitter = nullptr;
    QPointer<PortfolioStatus> m_status; // lives in the main window's status bar once placed there

    // Detail pane values.
    QLabel* m_aid = nullptr;           // 域名编号 (hidden)
    QLabel* m_domain = nullptr;        // a1
    QLabel* m_description = nullptr;   // a2
    QLabel* m_price = nullptr;         // a9
    QLabel* m_registrar = nullptr;     // a3
    QLabel* m_address = nullptr;       // a4
    QLabel* m_password = nullptr;      // a8
    QLabel* m_regDate = nullptr;       // a5
    QLabel* m_expDate = nullptr;       // a6
    QLabel* m_expiryNote = nullptr;    // beside a6: 剩余 N 天, 今天到期, 已过期 N 天
    QPlainTextEdit* m_notes = nullptr; // a7
    QLabel* m_registryNote = nullptr;  // 注册局信息：...
    DomainRecord m_shown;              // what the pane shows
    QToolButton* m_visitAddress = nullptr;
    QToolButton* m_visitDomain = nullptr;
    QLabel* m_priceUnit = nullptr; // "元" after the price

    // True while the list is being moved to the query's row, or while the query changes its rows:
    // list moves made then are not passed back to the query.
    bool m_syncing = false;
    bool m_shownOnce = false;
    bool m_fitting = false;           // the widths being set are the program's, not the user's
    QTimer* m_fitTimer = nullptr;     // one fit for many changes at once
    QHash<QString, int> m_userWidths; // per field, a width the user set
    QHash<QString, int> m_needs;      // per field, the widest text on screen since the rows came
    QMenu* m_columnsMenu = nullptr;   // the columns shown, from the heading row
    bool m_splitterRestored = false;
    std::unique_ptr<ReportProject> m_rvProject1;
    UndoHistory* m_history = nullptr;
    void buildUndoActions();
    void updateUndoActions();
};
