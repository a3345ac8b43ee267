#pragma once

#include <QList>
#include <QListWidget>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace quillory::ui {

// A file pattern as the program's dialogs write it: one or more wildcard patterns or exact
// names separated by ';' ("*.bmp;*.jpg;*.gif;*.wmf", "Corvanel.MD1"), with '*' for any run of
// characters and '?' for any one character. Names are matched without regard to letter case,
// since the files the program looks for were named on systems that ignore it. "*.*" means
// every file, dotted or not; an empty pattern also means every file.
class FilePattern {
public:
    explicit FilePattern(const QString& pattern = {});
    bool matches(const QString& name) const;

private:
    QStringList m_exactNames;
    QList<QRegularExpression> m_wildcards;
    bool m_everything = false;
};

// The file list of the program's folder dialogs: the files of one folder that match the
// pattern, sorted without regard to letter case, hidden files left out. A click selects a file
// (fileClicked), a double click picks it (fileDoubleClicked).
class FileList : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QString Pattern READ pattern WRITE setPattern NOTIFY patternChanged)
    Q_PROPERTY(QString FileName READ fileName WRITE setFileName)

public:
    explicit FileList(QWidget* parent = nullptr);

    // The absolute path of the folder shown.
    QString path() const { return m_path; }
    // Shows the files of `path` (relative paths are taken from the folder shown). A folder that
    // does not exist or cannot be read is refused: false, and the list stays as it was. A new
    // folder clears the selection; the folder already shown returns true and emits nothing.
    bool setPath(const QString& path);

    QString pattern() const { return m_pattern; }
    // Lists the files matching `pattern`; the selected file stays selected if it still matches.
    void setPattern(const QString& pattern);

    // Lists only the files the user may start as programs (the execute bit), whatever their
    // names; the pattern still applies on top.
    bool programsOnly() const { return m_programsOnly; }
    void setProgramsOnly(bool programsOnly);

    // The name of the selected file, empty when none is selected.
    QString fileName() const;
    // Selects the file `name` when the list shows it (an exact match first, else one that
    // differs only in letter case); anything else clears the selection and returns false.
    // A name with a folder in front first moves the list to that folder; a wildcard name
    // becomes the pattern. An empty name clears the selection.
    bool setFileName(const QString& name);

    // The selected file's full path, empty when none is selected.
    QString filePath() const;

    // The names listed, in list order.
    QStringList files() const;

    // Re-reads the folder; the selected file stays selected if it is still there.
    void refresh();

Q_SIGNALS:
    void fileClicked(const QString& name);
    void fileDoubleClicked(const QString& name);
    void pathChanged(const QString& path);
    void patternChanged(const QString& pattern);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void populate(const QString& keepSelected);
    void selectQuietly(QListWidgetItem* item);
    void onSelectionChanged();
    void onItemClicked(const QListWidgetItem* item);

    QString m_path;
    QString m_pattern;
    FilePattern m_matcher;
    bool m_programsOnly = false;
    int m_quiet = 0;
    // Counts selection changes, so that a click on the file already selected, which changes
    // nothing, is still reported as a click.
    quint64 m_selectionChanges = 0;
    quint64 m_selectionChangesAtPress = 0;
};

} // namespace quillory::ui
