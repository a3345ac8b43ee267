#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

namespace quillory::ui {

// The folder list of the program's folder dialogs. It shows the way down from the root to the
// current folder, one open folder per level, and below the current folder its subfolders
// (hidden ones left out, sorted without regard to letter case). A double click or Enter opens
// the highlighted folder; Backspace opens the parent.
class DirList : public QTreeWidget {
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath NOTIFY pathChanged)

public:
    explicit DirList(QWidget* parent = nullptr);

    // The absolute path of the current folder.
    QString path() const { return m_path; }

    // Opens `path` (relative paths are taken from the current folder). A folder that does not
    // exist, or cannot be read, is not opened: the list stays where it was and false is
    // returned; an unreadable one is also reported by folderNotReadable(). Opening the current
    // folder again returns true and emits nothing.
    bool setPath(const QString& path);

    // Re-reads the current folder. When it has gone, the nearest folder above it that still
    // exists is opened and pathChanged() emitted.
    void refresh();

    // The names of the current folder's subfolders, in list order.
    QStringList subfolders() const;

Q_SIGNALS:
    void pathChanged(const QString& path);
    void folderNotReadable(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every level is always open, so the expand arrows would only promise what a click on
    // them cannot do; the indentation alone shows the levels.
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    void populate();
    void openItem(const QTreeWidgetItem* item);

    QString m_path;
    QTreeWidgetItem* m_currentItem = nullptr;
};

} // namespace quillory::ui
