#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillory {

namespace ui {
class DirList;
class DriveList;
class FileList;
} // namespace ui

// "Find Word Processor": the user walks the drives and folders to the program file of another
// word processor. "&OK" hands the path shown to the settings dialog's word-processor label,
// whether or not a file was clicked; "&Cancel" leaves that label as it was.
class frmFind final : public QDialog {
    Q_OBJECT
public:
    // `chosenPath` is the label that "&OK" fills, the settings dialog's Label4.
    explicit frmFind(QLabel& chosenPath, QWidget* parent = nullptr);

    void Form_Load();
    void File2_Click(const QString& name);
    void Command1_Click();
    void Command2_Click();

    // The path of `name` in `folder`: one separator between them, also when the folder is the
    // root and already ends in one.
    static QString pathInFolder(const QString& folder, const QString& name);

    // Where the lists start: the folder programs are installed in.
    static const QString ProgramsFolder;

    // Controls, named as designed.
    ui::DriveList* Drive2;
    ui::DirList* Dir2;
    ui::FileList* File2;
    QLabel* Label2;
    QLabel* Label1;
    QPushButton* Command1;
    QPushButton* Command2;

private:
    QLabel& m_chosenPath;
};

} // namespace quillory
