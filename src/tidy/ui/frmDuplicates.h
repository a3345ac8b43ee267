#pragma once

#include "tidy/Duplicates.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace quillory {

class AppContext;

namespace exchange {
class BackgroundRun;
}

namespace tidy {
class DuplicatesModel;
}

// "Find Duplicates": the book searched for contacts that are probably one person, on a thread
// of its own with Cancel. The groups are listed with their reason and their contacts (name,
// phone, e-mail, address); the contacts of a group of a real reason are ticked, those of "same
// name only" groups (at the bottom) never. Merge... merges the ticked contacts of the current
// group in the merge window; afterwards the book is searched again.
class frmDuplicates final : public QDialog {
    Q_OBJECT
public:
    explicit frmDuplicates(AppContext& app, QWidget* parent = nullptr);
    ~frmDuplicates() override;

    // Writes the card's typing and starts the search.
    void Form_Load();
    void cmdMerge_Click();
    void cmdClose_Click();

    bool isSearching() const;
    // The ticked contacts of the current group, in the group's order.
    QVector<qint64> chosenContacts() const;

    QLabel* lblStatus;
    QProgressBar* prgFind;
    QTreeView* tvwGroups;
    QPushButton* cmdMerge;
    QPushButton* cmdClose;

Q_SIGNALS:
    void searchEnded();

protected:
    void reject() override;

private:
    void search();
    void searchFinished(const QString& error);
    void setBusy(bool busy);

    AppContext& m_app;
    tidy::DuplicatesModel* m_model;
    exchange::BackgroundRun* m_run;
    QString m_book;
    bool m_cancelled = false;
    // Written by the search's thread, read once it has ended.
    QVector<tidy::DuplicateGroup> m_found;
    QVector<QVector<tidy::DuplicateContact>> m_described;
};

} // namespace quillory
