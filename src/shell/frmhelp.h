#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTextBrowser;

// The operator's manual: a contents list, an index of terms with a search
// box, and the page being read. One window, beside the main window, so it can
// stay open while the operator works.
class frmHelp : public QWidget
{
    Q_OBJECT
public:
    explicit frmHelp(QWidget *parent = nullptr);

    // 帮助 › 内容 and 帮助 › 索引.
    void showContents();
    void showIndex();
    // Opens a page of the manual (page or page#anchor).
    void showPage(const QString &link);
    QString currentPage() const;

private:
    void filterIndex(const QString &typed);
    void openItem(QListWidgetItem *item);

    QTabWidget *m_tabs;
    QListWidget *m_contents;
    QLineEdit *m_find;
    QListWidget *m_index;
    QTextBrowser *m_page;
};
