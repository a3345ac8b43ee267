#pragma once

#include "maintenance/BackupFolderDialog.h"

namespace quillory {

// "Save Database": the folder a back-up is written to. Label2 shows the folder and the back-up
// file selected in it; OK writes the back-up there.
class frmSaveDB final : public BackupFolderDialog {
    Q_OBJECT
public:
    explicit frmSaveDB(AppContext& app, QWidget* parent = nullptr);

    // Sets Label2 and centres the dialog.
    void Form_Load();
    void Command1_Click() override;

protected:
    QString label2Text() const override;
};

} // namespace quillory
