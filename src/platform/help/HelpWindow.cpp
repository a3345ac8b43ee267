#include "platform/help/HelpWindow.h"

#include "platform/files/ProgramFolder.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLineEdit>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

namespace quillory::help {

namespace {

// Every help file keeps its topics under this folder of its namespace, and opens on the
// contents page "index.html" there.
constexpr auto TopicsFolder = "doc";
constexpr auto ContentsPage = "index.html";

QHash<QString, QPointer<HelpWindow>>& openWindows() {
    static QHash<QString, QPointer<HelpWindow>> windows;
    return windows;
}

QString windowKey(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

// The page area reads the topics straight out of the help file.
class HelpPage final : public QTextBrowser {
public:
    HelpPage(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), m_engine(engine) {}

    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() == QLatin1String("qthelp"))
            return m_engine.fileData(name);
        return QTextBrowser::loadResource(type, name);
    }

private:
    QHelpEngine& m_engine;
};

void tellMissing(const HelpFileSearch& search, const QString& name, QWidget* parent) {
    QStringList folders;
    for (const QString& folder : search.folders)
        folders << QDir::toNativeSeparators(folder);
    ui::MessageBoxService::inform(
        QStringLiteral("The help file \"%1\" could not be found.\n\nIt was looked for in:\n%2")
            .arg(name, folders.join(QLatin1Char('\n'))),
        {}, ui::Icon::Exclamation, parent);
}

void tellUnreadable(const QString& path, QWidget* parent) {
    ui::MessageBoxService::inform(QStringLiteral("The help file \"%1\" could not be opened. It "
                                                 "may be damaged; installing the program again "
                                                 "puts a good copy in its place.")
                                      .arg(QDir::toNativeSeparators(path)),
                                  {}, ui::Icon::Exclamation, parent);
}

} // namespace

HelpFileSearch findHelpFile(const ProgramFolder& folder, const QString& name) {
    HelpFileSearch search;
    search.folders << folder.path();
    const QString candidate = folder.resource(name);
    const QString installed = QFileInfo(candidate).absolutePath();
    if (QDir(installed) != QDir(folder.path()))
        search.folders << installed;
    if (QFileInfo(candidate).isFile())
        search.path = candidate;
    return search;
}

HelpWindow* HelpWindow::openWindow(const QString& path) {
    return openWindows().value(windowKey(path)).data();
}

HelpWindow* HelpWindow::open(const ProgramFolder& folder, const QString& name, QWidget* parent) {
    const HelpFileSearch search = findHelpFile(folder, name);
    if (search.path.isEmpty()) {
        tellMissing(search, name, parent);
        return nullptr;
    }
    if (HelpWindow* window = openWindow(search.path)) {
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }
    auto* window = new HelpWindow(search.path, parent);
    if (window->m_namespace.isEmpty()) {
        delete window;
        tellUnreadable(search.path, parent);
        return nullptr;
    }
    openWindows().insert(windowKey(search.path), window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow* HelpWindow::showContents(const ProgramFolder& folder, const QString& name,
                                     QWidget* parent) {
    HelpWindow* window = open(folder, name, parent);
    if (window) {
        window->m_tabs->setCurrentIndex(0);
        window->showPage(window->contentsPage());
    }
    return window;
}

HelpWindow* HelpWindow::showTopic(const ProgramFolder& folder, const QString& name,
                                  const QString& keyword, QWidget* parent) {
    HelpWindow* window = open(folder, name, parent);
    if (window && !window->showKeyword(keyword))
        window->showPage(window->contentsPage());
    return window;
}

HelpWindow::HelpWindow(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window), m_helpFile(helpFile) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quillory Help"));
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);

    m_engine = std::make_unique<QHelpEngine>(m_collectionDir.filePath(QStringLiteral("help.qhc")));
    m_engine->setReadOnly(false);
    m_engine->setUsesFilterEngine(true);
    // The widgets hook themselves to the engine's set-up, so they come first: the contents,
    // the index and the search index are then built as soon as the file is registered.
    buildLayout();
    // The new collection must exist before a file can be registered in it; the second set-up
    // reads the registered file and starts the contents, the index and the search index.
    if (!m_collectionDir.isValid() || !m_engine->setupData() ||
        !m_engine->registerDocumentation(m_helpFile) || !m_engine->setupData())
        return;
    m_namespace = QHelpEngineCore::namespaceName(m_helpFile);
}

HelpWindow::~HelpWindow() {
    openWindows().remove(windowKey(m_helpFile));
    // The engine reads the help file in threads of its own (the contents, the index and the
    // search index); taken down under a running one it corrupts memory, so they end first.
    m_engine->searchEngine()->cancelIndexing();
    QDeadlineTimer deadline(10000);
    while ((m_engine->contentModel()->isCreatingContents() ||
            m_engine->indexModel()->isCreatingIndex()) &&
           !deadline.hasExpired())
        QThread::msleep(2);
    // The views use the engine's models: they go first.
    delete m_splitter;
}

void HelpWindow::buildLayout() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("helpSplitter"));
    m_splitter->setChildrenCollapsible(false);

    m_tabs = new QTabWidget(m_splitter);
    m_tabs->setObjectName(QStringLiteral("helpTabs"));

    QHelpContentWidget* contents = m_engine->contentWidget();
    contents->setObjectName(QStringLiteral("helpContents"));
    contents->setHeaderHidden(true);
    m_tabs->addTab(contents, QStringLiteral("&Contents"));

    auto* indexTab = new QWidget(m_tabs);
    auto* indexLayout = new QVBoxLayout(indexTab);
    auto* lookFor = new QLineEdit(indexTab);
    lookFor->setObjectName(QStringLiteral("helpIndexFilter"));
    lookFor->setPlaceholderText(QStringLiteral("Type the word to look for"));
    lookFor->setClearButtonEnabled(true);
    QHelpIndexWidget* index = m_engine->indexWidget();
    index->setObjectName(QStringLiteral("helpIndex"));
    indexLayout->addWidget(lookFor);
    indexLayout->addWidget(index);
    m_tabs->addTab(indexTab, QStringLiteral("&Index"));

    QHelpSearchEngine* search = m_engine->searchEngine();
    auto* searchTab = new QWidget(m_tabs);
    auto* searchLayout = new QVBoxLayout(searchTab);
    QHelpSearchQueryWidget* query = search->queryWidget();
    query->setObjectName(QStringLiteral("helpSearchQuery"));
    QHelpSearchResultWidget* results = search->resultWidget();
    results->setObjectName(QStringLiteral("helpSearchResults"));
    searchLayout->addWidget(query);
    searchLayout->addWidget(results, 1);
    m_tabs->addTab(searchTab, QStringLiteral("&Search"));

    m_page = new HelpPage(*m_engine, m_splitter);
    m_page->setObjectName(QStringLiteral("helpPage"));
    m_page->setOpenLinks(false);

    m_splitter->addWidget(m_tabs);
    m_splitter->addWidget(m_page);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({ui::twipsToPixels(4200), ui::twipsToPixels(9300)});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_splitter);
    resize(ui::twipsToPixels(13500), ui::twipsToPixels(9600));
    ui::CenterForm(*this);

    connect(contents, &QHelpContentWidget::linkActivated, this, &HelpWindow::showPage);
    // A single click on a topic opens it, as the "Using help" page tells the user; the view's
    // own activation (a double click or Enter, by the style) stays.
    connect(contents, &QHelpContentWidget::clicked, this, [this](const QModelIndex& topic) {
        if (QHelpContentItem* item = m_engine->contentModel()->contentItemAt(topic))
            showPage(item->url());
    });
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, this, [this, contents] {
        contents->expandToDepth(0);
        if (QHelpContentItem* root =
                m_engine->contentModel()->contentItemAt(m_engine->contentModel()->index(0, 0)))
            setWindowTitle(root->title());
        const QModelIndex current = contents->indexOf(currentPage());
        if (current.isValid())
            contents->setCurrentIndex(current);
    });
    // Choosing the Index or Search tab puts the cursor where the word is typed.
    connect(m_tabs, &QTabWidget::currentChanged, this, [lookFor, query](int tab) {
        if (tab == 1)
            lookFor->setFocus();
        else if (tab == 2 && query->findChild<QLineEdit*>())
            query->findChild<QLineEdit*>()->setFocus();
    });
    connect(lookFor, &QLineEdit::textChanged, index,
            [index](const QString& text) { index->filterIndices(text); });
    connect(lookFor, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& link, const QString&) { showPage(link.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& links, const QString&) { showLinks(links); });
    connect(query, &QHelpSearchQueryWidget::search, this, &HelpWindow::runSearch);
    connect(results, &QHelpSearchResultWidget::requestShowLink, this, &HelpWindow::showPage);
    // A search typed while the pages are still being indexed would find nothing.
    connect(search, &QHelpSearchEngine::indexingStarted, this, [this, query] {
        m_searchReady = false;
        query->setEnabled(false);
    });
    connect(search, &QHelpSearchEngine::indexingFinished, this, [this, query] {
        m_searchReady = true;
        query->setEnabled(true);
    });
    connect(m_page, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (link.scheme() == QLatin1String("qthelp"))
            showPage(link);
    });
}

QUrl HelpWindow::contentsPage() const {
    return QUrl(QStringLiteral("qthelp://%1/%2/%3")
                    .arg(m_namespace, QLatin1String(TopicsFolder), QLatin1String(ContentsPage)));
}

QUrl HelpWindow::currentPage() const {
    return m_page->source();
}

void HelpWindow::showPage(const QUrl& page) {
    m_page->setSource(page);
    QHelpContentWidget* contents = m_engine->contentWidget();
    const QModelIndex current = contents->indexOf(page);
    if (current.isValid())
        contents->setCurrentIndex(current);
}

bool HelpWindow::showKeyword(const QString& keyword) {
    const QList<QHelpLink> links = m_engine->documentsForKeyword(keyword);
    if (links.isEmpty())
        return false;
    showLinks(links);
    return true;
}

void HelpWindow::showLinks(const QList<QHelpLink>& links) {
    if (!links.isEmpty())
        showPage(links.first().url);
}

void HelpWindow::runSearch() {
    QHelpSearchEngine* search = m_engine->searchEngine();
    search->search(search->queryWidget()->searchInput());
}

} // namespace quillory::help
