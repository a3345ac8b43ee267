#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace quillory {

class AppContext;
class frmMain;

namespace images {
class PictureDecoder;
} // namespace images

namespace ui {
class DirList;
class DriveList;
class FileList;
} // namespace ui

// The photo chooser, "Load Photo": a drive, a folder and a picture file; a click on a file
// puts its path into the main window's Label2 and previews it, "Load Photo" puts the picture
// of that path on the card, or, with no path, clears the card's photo once the user has said
// so.
class PicLoad final : public QDialog {
    Q_OBJECT
public:
    PicLoad(AppContext& app, frmMain& main, QWidget* parent = nullptr);

    // The file pattern of the chooser, matched without regard to letter case.
    static QString filePattern() { return QStringLiteral("*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.wmf"); }

    // Where the lists open when no photo was chosen yet: the user's pictures folder when it
    // exists, else the home folder.
    static QString startFolder();

    // `folder` and `name` joined by one separator (none added when the folder ends in one).
    static QString joinPath(const QString& folder, const QString& name);

    // Handlers.
    void Form_Load();
    void File1_Click(const QString& name);
    void File1_DblClick(const QString& name);
    void Command5_Click();
    void Command6_Click();

    ui::DriveList* Drive1;
    ui::DirList* Dir1;
    ui::FileList* File1;
    QLabel* lblPreview;
    QLabel* Image1;
    QPushButton* Command5;
    QPushButton* Command6;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showPreview(const QString& path);
    void showPreviewPicture(const QImage& picture);
    // Puts the picture file at `path` on the card; an empty text when it is done, else why it
    // was not.
    QString loadFile(const QString& path);
    void notReadable(const QString& place);

    AppContext& m_app;
    frmMain& m_main;
    images::PictureDecoder* m_preview;
};

} // namespace quillory
