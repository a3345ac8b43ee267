#pragma once

#include <memory>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QHelpLink;
class QSplitter;
class QTabWidget;
class QTextBrowser;

namespace quillory {
class ProgramFolder;
}

namespace quillory::help {

// Where a help file was looked for, and the path it was found at (empty when it was not).
struct HelpFileSearch {
    QString path;
    QStringList folders;
};

// Looks for the help file `name` ("CORVANEL.hlp") in the program folder, then where the
// program was installed, as every file that ships with the program is looked for.
HelpFileSearch findHelpFile(const ProgramFolder& folder, const QString& name);

// The help viewer: the topics of one help file, with contents, index and full-text search on
// the left and the chosen page on the right. Modeless; there is one window per help file, and
// asking for the file again brings that window forward.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    // Shows the help file's topics window on its contents page. When the file is missing the
    // user is told its name and the folders it was looked for in, and nothing opens.
    static HelpWindow* showContents(const ProgramFolder& folder, const QString& name,
                                    QWidget* parent = nullptr);
    // The same, opened on the topic listed in the index under `keyword` (the contents page
    // when no topic carries it).
    static HelpWindow* showTopic(const ProgramFolder& folder, const QString& name,
                                 const QString& keyword, QWidget* parent = nullptr);
    // The window already open for the help file at `path`, if any.
    static HelpWindow* openWindow(const QString& path);

    ~HelpWindow() override;

    QString helpFile() const { return m_helpFile; }
    QUrl contentsPage() const;
    QUrl currentPage() const;
    void showPage(const QUrl& page);
    // Shows the topic listed in the index under `keyword`; false when none is.
    bool showKeyword(const QString& keyword);
    // The full-text search finds words once the pages have been indexed.
    bool searchReady() const { return m_searchReady; }

private:
    HelpWindow(const QString& helpFile, QWidget* parent);
    static HelpWindow* open(const ProgramFolder& folder, const QString& name, QWidget* parent);
    void buildLayout();
    void showLinks(const QList<QHelpLink>& links);
    void runSearch();

    QString m_helpFile;
    QString m_namespace;
    // The engine keeps its collection and search index in a folder of its own, made afresh
    // for each window, so a read-only installation or a second program running does not
    // stand in the way.
    QTemporaryDir m_collectionDir;
    std::unique_ptr<QHelpEngine> m_engine;
    QSplitter* m_splitter = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTextBrowser* m_page = nullptr;
    bool m_searchReady = false;
};

} // namespace quillory::help
