#pragma once

#include "tidy/Merge.h"

#include <QDialog>
#include <QVector>

class QButtonGroup;
class QGridLayout;
class QPlainTextEdit;
class QPushButton;

namespace quillory {

namespace engine {
class Database;
}

// The merge window: the contacts side by side, one row per field with a choice in each cell
// (the fuller value chosen at first), their photos small with a choice, the remarks the merged
// contact will have, and Merge and Cancel. Merge writes the merge; a failure is told and the
// window stays.
class frmMerge final : public QDialog {
    Q_OBJECT
public:
    frmMerge(engine::Database& db, tidy::MergePlan plan, QWidget* parent = nullptr);

    // The kept contact's row id after a merge; 0 before.
    qint64 mergedId() const { return m_mergedId; }

    QPushButton* cmdMerge;
    QPushButton* cmdCancel;
    QPlainTextEdit* txtRemarks;

private:
    void cmdMerge_Click();
    void opt_Toggled();
    QWidget* buildGrid();
    void addChoiceRow(QGridLayout* grid, int row, const tidy::MergeField& field);
    void addPhotoRow(QGridLayout* grid, int row);

    engine::Database& m_db;
    tidy::MergePlan m_plan;
    QVector<QButtonGroup*> m_fieldChoices; // one per field of the plan, null for a hidden row
    QButtonGroup* m_photoChoice = nullptr;
    qint64 m_mergedId = 0;
};

} // namespace quillory
