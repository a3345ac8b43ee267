#pragma once

#include "maintenance/BackupFolderDialog.h"

namespace quillory {

// "Restore Database": the folder a back-up is restored from. Label2 shows the back-up's path
// in the chosen folder; below it, the last place a back-up was written to.
class frmGetDB final : public BackupFolderDialog {
    Q_OBJECT
public:
    explicit frmGetDB(AppContext& app, QWidget* parent = nullptr);

    // Sets Label2, reads the settings (the main window's last back-up location among them),
    // shows that location, and centres the dialog.
    void Form_Load();
    void Command1_Click() override;

    // Sets Label2 to the back-up's path in the folder now chosen.
    void showBackupPath() { refreshLabel2(); }

    QLabel* Label3;
    QLabel* lblDrive;

protected:
    QString label2Text() const override;
};

} // namespace quillory
