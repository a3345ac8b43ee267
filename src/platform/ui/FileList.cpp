#include "platform/ui/FileList.h"

#include "platform/ui/FileSystemLists.h"

#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMouseEvent>

namespace quillory::ui {

namespace {

// Only '*' and '?' are wildcards, as in the patterns the program's dialogs were written with;
// a '[' is part of a name.
bool hasWildcard(const QString& text) {
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

QRegularExpression wildcardExpression(const QString& wildcard) {
    QString expression;
    for (const QChar c : wildcard) {
        if (c == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    QRegularExpression compiled(QRegularExpression::anchoredPattern(expression),
                                QRegularExpression::CaseInsensitiveOption |
                                    QRegularExpression::DotMatchesEverythingOption);
    compiled.optimize();
    return compiled;
}

// Guards the list's own selection changes, so they are not reported as the user's clicks.
class QuietScope {
public:
    explicit QuietScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~QuietScope() { --m_depth; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    int& m_depth;
};

} // namespace

FilePattern::FilePattern(const QString& pattern) {
    bool anyPart = false;
    const QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& rawPart : parts) {
        const QString part = rawPart.trimmed();
        if (part.isEmpty())
            continue;
        anyPart = true;
        if (part == QLatin1String("*") || part == QLatin1String("*.*"))
            m_everything = true;
        else if (hasWildcard(part))
            m_wildcards.append(wildcardExpression(part));
        else
            m_exactNames.append(part);
    }
    if (!anyPart)
        m_everything = true;
}

bool FilePattern::matches(const QString& name) const {
    if (m_everything)
        return true;
    for (const QString& exact : m_exactNames) {
        if (QString::compare(name, exact, Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const QRegularExpression& expression : m_wildcards) {
        if (expression.match(name).hasMatch())
            return true;
    }
    return false;
}

FileList::FileList(QWidget* parent)
    : QListWidget(parent), m_pattern(QStringLiteral("*")), m_matcher(m_pattern) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setMinimumSize(lists::minimumListSize(*this));

    connect(this, &QListWidget::itemSelectionChanged, this, &FileList::onSelectionChanged);
    connect(this, &QListWidget::itemClicked, this, &FileList::onItemClicked);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](const QListWidgetItem* item) { Q_EMIT fileDoubleClicked(item->text()); });

    m_path = lists::absolutePath(QDir::currentPath(), {});
    populate({});
}

bool FileList::setPath(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString absolute = lists::absolutePath(path, m_path);
    if (!lists::isListableFolder(absolute))
        return false;
    if (absolute == m_path)
        return true;
    m_path = absolute;
    populate({});
    Q_EMIT pathChanged(m_path);
    return true;
}

void FileList::setPattern(const QString& pattern) {
    const QString trimmed = pattern.trimmed();
    if (trimmed == m_pattern)
        return;
    m_pattern = trimmed;
    m_matcher = FilePattern(m_pattern);
    populate(fileName());
    Q_EMIT patternChanged(m_pattern);
}

void FileList::setProgramsOnly(bool programsOnly) {
    if (programsOnly == m_programsOnly)
        return;
    m_programsOnly = programsOnly;
    populate(fileName());
}

QString FileList::fileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.constFirst()->text();
}

bool FileList::setFileName(const QString& name) {
    QString bare = name;
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo target(lists::absolutePath(name, m_path));
        if (!setPath(target.path()))
            return false;
        bare = target.fileName();
    }
    if (bare.isEmpty()) {
        selectQuietly(nullptr);
        return true;
    }
    if (hasWildcard(bare)) {
        setPattern(bare);
        return true;
    }

    QList<QListWidgetItem*> found = findItems(bare, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (found.isEmpty())
        found = findItems(bare, Qt::MatchFixedString);
    selectQuietly(found.value(0));
    return !found.isEmpty();
}

QString FileList::filePath() const {
    const QString name = fileName();
    return name.isEmpty() ? QString() : QDir(m_path).filePath(name);
}

QStringList FileList::files() const {
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i)
        names.append(item(i)->text());
    return names;
}

void FileList::refresh() {
    populate(fileName());
}

void FileList::mousePressEvent(QMouseEvent* event) {
    m_selectionChangesAtPress = m_selectionChanges;
    QListWidget::mousePressEvent(event);
}

void FileList::populate(const QString& keepSelected) {
    // One pass over the folder: the type filter is applied while reading, the pattern on the
    // names read. No QDir::Hidden, so dot-files stay out as in the desktop's file manager.
    QStringList names;
    QDirIterator entries(m_path, QDir::Files | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (m_programsOnly && !entries.fileInfo().isExecutable())
            continue;
        if (m_matcher.matches(name))
            names.append(name);
    }
    lists::sortNames(names);

    const QuietScope quiet(m_quiet);
    const QIcon icon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
    setUpdatesEnabled(false);
    clear();
    for (const QString& name : names)
        new QListWidgetItem(icon, name, this);
    setUpdatesEnabled(true);

    if (!keepSelected.isEmpty()) {
        const QList<QListWidgetItem*> found =
            findItems(keepSelected, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        selectQuietly(found.value(0));
    }
}

void FileList::selectQuietly(QListWidgetItem* item) {
    const QuietScope quiet(m_quiet);
    if (item == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
}

void FileList::onSelectionChanged() {
    ++m_selectionChanges;
    if (m_quiet > 0)
        return;
    const QString name = fileName();
    if (!name.isEmpty())
        Q_EMIT fileClicked(name);
}

void FileList::onItemClicked(const QListWidgetItem* item) {
    // A click that selected a file was reported with the selection; this one hit the file
    // that was already selected.
    if (item != nullptr && item->isSelected() && m_selectionChanges == m_selectionChangesAtPress)
        Q_EMIT fileClicked(item->text());
}

} // namespace quillory::ui
