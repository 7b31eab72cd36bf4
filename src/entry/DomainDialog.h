#pragma once

#include "db/DomainRecord.h"
#include "db/Result.h"

#include <QDialog>

class EntryLineEdit;
class NotesEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class TDataModule2;

// Input limits of the domain boxes, in characters as the user sees them; 0 means no limit.
struct DomainLimits
{
    int domain = 0;      // a1
    int price = 0;       // a9
    int description = 0; // a2
    int registrar = 0;   // a3
    int url = 0;         // a4
    int password = 0;    // a8
    int date = 0;        // a5, a6
    int notes = 0;       // a7
};

// The layout, key filters and save step shared by the add-domain and edit-domain dialogs: the nine
// boxes of one domain record in two columns, "保  存" and "取  消". A subclass writes the record.
class DomainDialog : public QDialog
{
    Q_OBJECT
public:
    virtual void bindData(TDataModule2* data) { m_data = data; }

    // Handlers.
    virtual void FormShow() {}                // each showing, before the domain box takes the focus
    void bsSkinButton1Click();                // 保  存
    void bsSkinButton2Click();                // 取  消
    void bsSkinEdit1KeyPress(QChar& key);     // domain filter
    void bsSkinDateEdit1KeyPress(QChar& key); // date filter, registration date
    void bsSkinDateEdit2KeyPress(QChar& key); // date filter, expiry date

    // a1..a9 as the boxes hold them now (no aid).
    DomainRecord record() const;

    EntryLineEdit* bsSkinEdit1() const { return m_domain; }         // 域名, a1
    EntryLineEdit* bsSkinEdit3() const { return m_price; }          // 对外报价, a9
    EntryLineEdit* bsSkinEdit2() const { return m_description; }    // 域名说明, a2
    EntryLineEdit* bsSkinEdit6() const { return m_registrar; }      // 注册商, a3
    EntryLineEdit* bsSkinEdit4() const { return m_url; }            // 管理地址, a4
    EntryLineEdit* bsSkinEdit5() const { return m_password; }       // 管理密码, a8
    EntryLineEdit* bsSkinDateEdit1() const { return m_registered; } // 注册日期, a5
    EntryLineEdit* bsSkinDateEdit2() const { return m_expires; }    // 到期日期, a6
    NotesEdit* bsSkinRichEdit1() const { return m_notes; }          // 备注, a7
    QPushButton* bsSkinButton1() const { return m_save; }           // 保  存
    QPushButton* bsSkinButton2() const { return m_cancel; }         // 取  消

protected:
    DomainDialog(const QString& objectName, const QString& caption, const DomainLimits& limits,
                 QWidget* parent);

    // Writes a1..a9 of the record to the database.
    virtual Result writeRecord(const DomainRecord& record) = 0;
    // Puts a1..a9 into the boxes as they stand: neither filtered nor limited.
    void setRecord(const DomainRecord& record);
    TDataModule2* data() const { return m_data; }

    void showEvent(QShowEvent* event) override;

private:
    TDataModule2* m_data = nullptr;
    EntryLineEdit* m_domain = nullptr;
    EntryLineEdit* m_price = nullptr;
    EntryLineEdit* m_description = nullptr;
    EntryLineEdit* m_registrar = nullptr;
    EntryLineEdit* m_url = nullptr;
    EntryLineEdit* m_password = nullptr;
    EntryLineEdit* m_registered = nullptr;
    EntryLineEdit* m_expires = nullptr;
    NotesEdit* m_notes = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
