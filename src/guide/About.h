#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QTextEdit;
class LinkLabel;

// The About dialog, "关于": product name, version, a legal warning and the link to the maker's site.
// It holds no state; it is closed with its title bar's close button (or Esc).
class Tabout : public QDialog
{
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);

    // The link label: opens the maker's site in the web browser; the dialog stays open.
    void bsSkinLinkLabel1Click();

    QWidget* Image1() const { return m_banner; }             // the green banner
    QTextEdit* bsSkinRichEdit1() const { return m_warning; } // the legal warning
    LinkLabel* bsSkinLinkLabel1() const { return m_link; }   // the site's address

    // The warning, line by line.
    static QStringList warningLines();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_banner = nullptr;
    QTextEdit* m_warning = nullptr;
    LinkLabel* m_link = nullptr;
};
