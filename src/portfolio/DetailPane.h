#pragma once

#include "db/DomainRecord.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QToolButton;

// The detail pane beside the list: every field of one domain, the links that open its site, its
// management address and the three look-ups in the browser, and what the registries last said of it.
class DetailPane : public QWidget
{
    Q_OBJECT
public:
    explicit DetailPane(QWidget* parent = nullptr);

    // Shows a record (an empty one empties the pane).
    void showRecord(const DomainRecord& record);
    DomainRecord record() const { return m_shown; }
    // A search that found nothing: no visit link, and no unit to a price there is not.
    void setNothingFound(bool nothing);
    // The pane's fields without the strip beside the splitter.
    QWidget* fields() const { return m_fields; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showExpiryNote(const QString& date);
    void openAddress(const QString& address);

    QWidget* m_fields = nullptr;
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
};
