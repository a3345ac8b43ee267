#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quillory {

class AppContext;
namespace ui {
class DirList;
class DriveList;
class FileList;
} // namespace ui

// The folder chooser of the back-up and the restore: the instructions, the drive and folder
// lists beside the list of back-up files in the folder, and the back-up's path below them.
// frmSaveDB and frmGetDB add their own texts and what OK starts.
class BackupFolderDialog : public QDialog {
    Q_OBJECT
public:
    // OK: runs the dialog's command, then closes.
    virtual void Command1_Click() = 0;
    // Close.
    void Command2_Click();
    // The folder list moved: the file list follows it, and Label2 is set anew.
    void Dir2_Change();
    // A drive that cannot be read was chosen; the lists stay where they were.
    void Drive2_NotReady();

    // Controls, named as designed.
    QLabel* Label1;
    ui::DriveList* Drive2;
    ui::DirList* Dir2;
    ui::FileList* File2;
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command2;

protected:
    BackupFolderDialog(AppContext& app, const QString& caption, const QString& instructions,
                       QWidget* parent);
    AppContext& app() const { return m_app; }
    // What Label2 shows for the folder now chosen.
    virtual QString label2Text() const = 0;
    // Sets Label2 from the folder now chosen.
    void refreshLabel2();
    // Centres the dialog once its size is known.
    void centre();
    // Rows of the dialog's own between Label2 and the buttons.
    QVBoxLayout* extraRows() const { return m_extraRows; }

private:
    AppContext& m_app;
    QVBoxLayout* m_extraRows;
};

} // namespace quillory
