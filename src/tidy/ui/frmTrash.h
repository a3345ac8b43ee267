#pragma once

#include "tidy/Trash.h"

#include <functional>
#include <QDialog>
#include <QVector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillory {

// "Deleted contacts": the trash of the book, newest first, with who each contact was and why it
// left (deleted, merged into another contact, deleted on the server). Restore puts the chosen
// ones back and closes; Empty removes them all for good after asking.
class frmTrash final : public QDialog {
    Q_OBJECT
public:
    // `bookPath`: the book whose trash is shown; the window opens it on its own connection for
    // each step.
    explicit frmTrash(QString bookPath, QWidget* parent = nullptr);

    void Form_Load();
    void cmdRestore_Click();
    void cmdEmpty_Click();

    // The row ids the restore gave the contacts, in the list's order; empty when none.
    const QVector<qint64>& restored() const { return m_restored; }
    bool emptied() const { return m_emptied; }

    QLabel* lblKeep;
    QTreeWidget* lstTrash;
    QPushButton* cmdRestore;
    QPushButton* cmdEmpty;
    QPushButton* cmdClose;

private:
    void showEntries(const QVector<tidy::TrashEntry>& entries);
    void updateButtons();
    // Runs one step on the book; a failure is told here and false comes back.
    bool onBook(const std::function<void(engine::Database&)>& step);

    QString m_bookPath;
    QVector<qint64> m_restored;
    bool m_emptied = false;
};

} // namespace quillory
