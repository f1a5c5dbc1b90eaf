#include "shell/frmhelp.h"

#include "domain/shell/manual.h"
#include "ui/messagebox.h"

#include <QCollator>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

void fill(QListWidget *list, const QList<Manual::Entry> &entries)
{
    for (const Manual::Entry &entry : entries) {
        auto *item = new QListWidgetItem(entry.text, list);
        item->setData(Qt::UserRole, entry.link);
    }
}

} // namespace

frmHelp::frmHelp(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(Msg::programTitle() + QStringLiteral(" 帮助"));

    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("lstContents"));
    fill(m_contents, Manual::contents());

    auto *indexTab = new QWidget(this);
    m_find = new QLineEdit(indexTab);
    m_find->setObjectName(QStringLiteral("txtFind"));
    m_find->setPlaceholderText(QStringLiteral("键入要查找的词"));
    m_find->setClearButtonEnabled(true);
    m_index = new QListWidget(indexTab);
    m_index->setObjectName(QStringLiteral("lstIndex"));
    // Terms in pinyin order, as a Chinese index is read.
    QList<Manual::Entry> terms = Manual::terms();
    const QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    std::stable_sort(terms.begin(), terms.end(),
                     [&](const Manual::Entry &a, const Manual::Entry &b) { return collator.compare(a.text, b.text) < 0; });
    fill(m_index, terms);
    auto *indexLayout = new QVBoxLayout(indexTab);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    indexLayout->addWidget(m_find);
    indexLayout->addWidget(m_index, 1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabHelp"));
    m_tabs->addTab(m_contents, QStringLiteral("目录"));
    m_tabs->addTab(indexTab, QStringLiteral("索引"));

    m_page = new QTextBrowser(this);
    m_page->setObjectName(QStringLiteral("txtHelp"));
    m_page->setOpenLinks(true);
    m_page->setOpenExternalLinks(false);

    auto *split = new QSplitter(this);
    split->addWidget(m_tabs);
    split->addWidget(m_page);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 600});
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(split);

    connect(m_contents, &QListWidget::itemActivated, this, &frmHelp::openItem);
    connect(m_contents, &QListWidget::itemClicked, this, &frmHelp::openItem);
    connect(m_index, &QListWidget::itemActivated, this, &frmHelp::openItem);
    connect(m_index, &QListWidget::itemClicked, this, &frmHelp::openItem);
    connect(m_find, &QLineEdit::textChanged, this, &frmHelp::filterIndex);
    // Enter in the search box opens the first term that matches.
    connect(m_find, &QLineEdit::returnPressed, this, [this] {
        for (int i = 0; i < m_index->count(); ++i)
            if (!m_index->item(i)->isHidden()) {
                m_index->setCurrentRow(i);
                openItem(m_index->item(i));
                return;
            }
    });
    resize(900, 620);
    showPage(QStringLiteral("contents.html"));
}

void frmHelp::showContents()
{
    m_tabs->setCurrentIndex(0);
    m_contents->setFocus();
    showPage(QStringLiteral("contents.html"));
}

void frmHelp::showIndex()
{
    m_tabs->setCurrentIndex(1);
    m_find->setFocus();
    m_find->selectAll();
}

void frmHelp::showPage(const QString &link)
{
    m_page->setSource(QUrl(QStringLiteral("qrc") + Manual::root() + QLatin1Char('/') + link));
}

QString frmHelp::currentPage() const
{
    const QUrl source = m_page->source();
    return source.fileName() + (source.hasFragment() ? QLatin1Char('#') + source.fragment() : QString());
}

void frmHelp::filterIndex(const QString &typed)
{
    const QString wanted = typed.trimmed();
    for (int i = 0; i < m_index->count(); ++i)
        m_index->item(i)->setHidden(!m_index->item(i)->text().contains(wanted, Qt::CaseInsensitive));
}

void frmHelp::openItem(QListWidgetItem *item)
{
    if (item)
        showPage(item->data(Qt::UserRole).toString());
}
