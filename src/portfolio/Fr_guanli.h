#pragma once

#include <QWidget>

class QTableView;
class QLineEdit;
class DomainListModel;
class TDataModule2;

// The portfolio panel: toolbar, domain list with the search strip, and the detail pane.
class TFr_guanli : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_guanli(QWidget* parent = nullptr);
    // Binds the list and the detail pane to the shared domain query.
    void bindData(TDataModule2* data);

    QTableView* bsSkinDBGrid1() const { return m_grid; } // the domain list
    DomainListModel* listModel() const { return m_model; }
    QLineEdit* searchBox() const { return m_search; }

    // The five headings back to "域名", "报价", "说明", "注册商", "到期".
    void resetHeadings();
    void setHeading(int column, const QString& text);

    // Empty-list notice: true (after showing "请先添加域名") when the list holds no rows.
    bool refuseEmptyList();

signals:
    void addRequested();    // 添 加
    void editRequested();   // 编 辑, the list holds rows
    void importRequested(); // 批量导入, the list holds rows
    void helpRequested();   // 帮 助

private:
    TDataModule2* m_data = nullptr;
    QTableView* m_grid = nullptr;
    DomainListModel* m_model = nullptr;
    QLineEdit* m_search = nullptr;
};
