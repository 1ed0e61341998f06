// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpWindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

// The resources of a static library are registered by hand (at namespace scope).
static void initHelpResource()
{
    Q_INIT_RESOURCE(help);
}

namespace welarik {

namespace {

struct Heading
{
    int level;
    QString anchor;
    QString title;
};

// The guide's <h2>/<h3 id="..."> headings, in order.
QList<Heading> headings(const QString &html)
{
    static const QRegularExpression re(QStringLiteral("<h([23]) id=\"([^\"]+)\">(.*?)</h[23]>"),
                                       QRegularExpression::DotMatchesEverythingOption);
    QList<Heading> all;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        QString title = m.captured(3);
        title.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        all.append({m.captured(1).toInt(), m.captured(2), title.simplified()});
    }
    return all;
}

// Where each heading starts in the document, found in order (a title may also occur in the
// text before its own heading).
QList<std::pair<Heading, int>> placed(QTextDocument *doc)
{
    QList<std::pair<Heading, int>> all;
    QTextCursor from(doc);
    for (const Heading &h : headings(HelpWindow::guideHtml())) {
        QTextCursor title = doc->find(h.title, from);
        while (!title.isNull() && title.block().blockFormat().headingLevel() == 0)
            title = doc->find(h.title, title);
        if (title.isNull())
            continue;
        all.append({h, title.selectionStart()});
        from = title;
    }
    return all;
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    initHelpResource();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Pomoc do programu"));
    auto *split = new QSplitter(this);
    auto *left = new QWidget(split);
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    auto *searchLine = new QHBoxLayout;
    m_search = new QLineEdit(left);
    m_search->setObjectName(QStringLiteral("edSzukajPomoc"));
    m_search->setPlaceholderText(QStringLiteral("Szukaj w pomocy"));
    m_search->setClearButtonEnabled(true);
    auto *next = new QPushButton(QStringLiteral("&Znajdź"), left);
    searchLine->addWidget(m_search, 1);
    searchLine->addWidget(next);
    leftColumn->addLayout(searchLine);
    m_status = new QLabel(left);
    leftColumn->addWidget(m_status);
    m_found = new QListWidget(left);
    m_found->setObjectName(QStringLiteral("lstZnalezione"));
    m_found->setMaximumHeight(120);
    m_found->hide();
    leftColumn->addWidget(m_found);
    m_contents = new QTreeWidget(left);
    m_contents->setObjectName(QStringLiteral("trSpisTresci"));
    m_contents->setHeaderLabel(QStringLiteral("Spis treści"));
    leftColumn->addWidget(m_contents, 1);
    m_browser = new QTextBrowser(split);
    m_browser->setObjectName(QStringLiteral("tbPomoc"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setHtml(guideHtml());
    split->addWidget(left);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 1);
    split->setSizes({240, 640});
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(split);
    buildContents();
    resize(900, 620);

    auto run = [this] {
        find(m_search->text());
    };
    connect(m_search, &QLineEdit::returnPressed, this, run);
    connect(next, &QPushButton::clicked, this, run);
    connect(m_contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        showSection(item->data(0, Qt::UserRole).toString());
    });
    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        showSection(item->data(0, Qt::UserRole).toString());
    });
    connect(m_found, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        showSection(item->data(Qt::UserRole).toString());
        m_browser->find(m_search->text());
    });
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.scheme().isEmpty() && url.path().isEmpty())
            showSection(url.fragment());
    });
}

QString HelpWindow::guideHtml()
{
    initHelpResource();
    QFile file(QStringLiteral(":/help/pomoc.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString HelpWindow::sectionFor(const QString &dialogName)
{
    static const QList<std::pair<QString, QString>> map = {
        {QStringLiteral("dlgDopiszFilm"), QStringLiteral("edytor")},
        {QStringLiteral("dlgGatunekF"), QStringLiteral("gatunki")},
        {QStringLiteral("dlgGDane"), QStringLiteral("gatunki")},
        {QStringLiteral("dlgZnajomi"), QStringLiteral("znajomi")},
        {QStringLiteral("dlgZDane"), QStringLiteral("znajomi")},
        {QStringLiteral("dlgSzukaj"), QStringLiteral("wyszukiwanie-zaawansowane")},
        {QStringLiteral("dlgUstawienia"), QStringLiteral("ustawienia")},
        {QStringLiteral("LookupDialog"), QStringLiteral("szybkie-wyszukiwanie")},
        {QStringLiteral("dlgPytanie"), QStringLiteral("poprawianie")},
    };
    for (const auto &[name, anchor] : map) {
        if (dialogName == name)
            return anchor;
    }
    // Dialogs of the lists, lending, tools, import and export, by the start of their names.
    static const QList<std::pair<QString, QString>> prefixes = {
        {QStringLiteral("dlgOsob"), QStringLiteral("osoby")},
        {QStringLiteral("dlgWyp"), QStringLiteral("wypozyczanie")},
        {QStringLiteral("dlgImport"), QStringLiteral("import-eksport")},
        {QStringLiteral("dlgEksport"), QStringLiteral("import-eksport")},
        {QStringLiteral("dlgExport"), QStringLiteral("import-eksport")},
        {QStringLiteral("dlgSkan"), QStringLiteral("skanowanie")},
        {QStringLiteral("dlgBazy"), QStringLiteral("narzedzia")},
    };
    for (const auto &[prefix, anchor] : prefixes) {
        if (dialogName.startsWith(prefix))
            return anchor;
    }
    return {};
}

void HelpWindow::buildContents()
{
    QTreeWidgetItem *parent = nullptr;
    for (const Heading &h : headings(guideHtml())) {
        QTreeWidgetItem *item = h.level == 2 || !parent ? new QTreeWidgetItem(m_contents)
                                                        : new QTreeWidgetItem(parent);
        if (h.level == 2)
            parent = item;
        item->setText(0, h.title);
        item->setData(0, Qt::UserRole, h.anchor);
    }
    m_contents->expandAll();
}

void HelpWindow::showSection(const QString &anchor)
{
    // The cursor goes to the section's heading, so that a search starts there.
    QTextCursor at(m_browser->document());
    for (const auto &[h, position] : placed(m_browser->document())) {
        if (h.anchor == anchor)
            at.setPosition(position);
    }
    m_browser->setTextCursor(at);
    if (at.position() == 0)
        m_browser->verticalScrollBar()->setValue(0);
    else
        m_browser->scrollToAnchor(anchor);
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == anchor)
            m_contents->setCurrentItem(*it);
    }
}

QString HelpWindow::currentSection() const
{
    // The last heading at or before the cursor.
    const int cursor = m_browser->textCursor().selectionStart();
    QString section;
    for (const auto &[h, position] : placed(m_browser->document())) {
        if (position <= cursor)
            section = h.anchor;
    }
    return section;
}

bool HelpWindow::find(const QString &word)
{
    m_found->clear();
    const QString w = word.trimmed();
    if (w.isEmpty()) {
        m_found->hide();
        m_status->clear();
        return false;
    }
    bool hit = m_browser->find(w);
    if (!hit) { // from the start once more
        m_browser->moveCursor(QTextCursor::Start);
        hit = m_browser->find(w);
    }
    // The sections whose text holds the word.
    const QString text = m_browser->toPlainText();
    const auto all = placed(m_browser->document());
    for (int i = 0; i < all.size(); ++i) {
        const int from = all[i].second;
        const int to = i + 1 < all.size() ? all[i + 1].second : int(text.size());
        if (text.mid(from, to - from).contains(w, Qt::CaseInsensitive)) {
            auto *item = new QListWidgetItem(all[i].first.title, m_found);
            item->setData(Qt::UserRole, all[i].first.anchor);
        }
    }
    m_found->setVisible(m_found->count() > 0);
    m_status->setText(hit ? QStringLiteral("Sekcje z tym słowem: %1").arg(m_found->count())
                          : QStringLiteral("Nie znaleziono „%1”.").arg(w));
    return hit;
}

} // namespace welarik
