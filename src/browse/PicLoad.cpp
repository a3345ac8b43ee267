#include "browse/PicLoad.h"

#include "browse/ImageCodec.h"
#include "browse/Photos.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/ui/FileSystemLists.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <exception>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <stdexcept>

namespace quillory {

namespace {

// The preview box, about two inches square.
constexpr double PreviewSide = 2880;

} // namespace

PicLoad::PicLoad(AppContext& app, frmMain& main, QWidget* parent)
    : QDialog(parent), m_app(app), m_main(main), m_preview(new images::PictureDecoder(this)) {
    setObjectName(QStringLiteral("PicLoad"));
    setWindowTitle(QStringLiteral("Load Photo"));
    setModal(true);

    Drive1 = new ui::DriveList(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setToolTip(QStringLiteral("Select which drive your photo is on"));
    Dir1 = new ui::DirList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setToolTip(QStringLiteral("Select which folder your photo is in"));
    File1 = new ui::FileList(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setToolTip(QStringLiteral("Double CLICK to select your photo here"));

    lblPreview = new QLabel(QStringLiteral("Preview"), this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setWordWrap(true);
    Image1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Image1->setFixedSize(ui::twipsToPixels(PreviewSide), ui::twipsToPixels(PreviewSide));
    Image1->setStyleSheet(QStringLiteral("QLabel#Image1 { background: #f4f2ea; color: #9a9486; }"));

    Command5 = new QPushButton(QStringLiteral("Load Photo"), this);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command5->setDefault(true);
    Command6 = new QPushButton(QStringLiteral("Cancel"), this);
    Command6->setObjectName(QStringLiteral("Command6"));

    // Drive over folders, the files beside them, the preview at the right; the buttons at the
    // bottom right.
    auto* folders = new QVBoxLayout;
    folders->addWidget(Drive1);
    folders->addWidget(Dir1, 1);
    auto* preview = new QVBoxLayout;
    preview->addWidget(lblPreview);
    preview->addWidget(Image1);
    preview->addStretch(1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(folders, 1);
    lists->addWidget(File1, 1);
    lists->addLayout(preview);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command5);
    buttons->addWidget(Command6);
    auto* page = new QVBoxLayout(this);
    page->addLayout(lists, 1);
    page->addLayout(buttons);
    Dir1->setMinimumWidth(ui::twipsToPixels(3000));
    File1->setMinimumWidth(ui::twipsToPixels(2700));

    connect(m_preview, &images::PictureDecoder::decoded, this, &PicLoad::showPreviewPicture);
    connect(File1, &ui::FileList::fileClicked, this, &PicLoad::File1_Click);
    connect(File1, &ui::FileList::fileDoubleClicked, this, &PicLoad::File1_DblClick);
    connect(Drive1, &ui::DriveList::driveNotReady, this, &PicLoad::notReadable);
    connect(Dir1, &ui::DirList::folderNotReadable, this, &PicLoad::notReadable);
    connect(Command5, &QPushButton::clicked, this, &PicLoad::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &PicLoad::Command6_Click);

    Form_Load();
}

QString PicLoad::joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

void PicLoad::Form_Load() {
    m_app.LoadSettings();
    File1->setPattern(filePattern());
    // The lists open where the last photo was chosen, else in the user's pictures folder, else
    // at home: where the program was started from says nothing about where photos are.
    const QString chosen = m_main.Label2->text();
    const QFileInfo last(chosen);
    const bool fromLast = !chosen.isEmpty() && last.isAbsolute() && QFileInfo(last.path()).isDir();
    Dir1->setPath(fromLast ? last.path() : startFolder());
    ui::linkLists(Drive1, Dir1, File1);
    if (fromLast)
        File1->setFileName(last.fileName());
    adjustSize();
    ui::CenterForm(*this);
}

QString PicLoad::startFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

void PicLoad::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The size the chooser is shown at, and its frame, are known only now: centre it again.
    if (!event->spontaneous())
        ui::CenterForm(*this);
}

void PicLoad::File1_Click(const QString& name) {
    const QString path = joinPath(File1->path(), name);
    m_main.Label2->setText(path);
    showPreview(path);
}

void PicLoad::File1_DblClick(const QString& name) {
    if (m_main.Label2->text() != joinPath(File1->path(), name))
        File1_Click(name);
    Command5_Click();
}

void PicLoad::showPreview(const QString& path) {
    const images::PictureFile file = images::readPictureFile(path);
    if (!file.ok()) {
        m_preview->cancel();
        showPreviewPicture({});
        return;
    }
    // Fitted into the box with its shape kept; a camera's photo is read while the chooser goes
    // on, the box empty meanwhile.
    const std::optional<QImage> now =
        m_preview->request(file.bytes, file.size, Image1->contentsRect().size());
    if (now) {
        showPreviewPicture(*now);
    } else {
        Image1->clear();
    }
}

void PicLoad::showPreviewPicture(const QImage& picture) {
    if (picture.isNull()) {
        Image1->clear();
        Image1->setText(QStringLiteral("No preview"));
    } else {
        Image1->setPixmap(QPixmap::fromImage(picture));
    }
}

QString PicLoad::loadFile(const QString& path) {
    // A camera's photo takes a moment to read.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const images::PictureFile file = images::readPictureFile(path);
    if (!file.ok())
        return file.error;
    const QByteArray stored = images::storedBytes(file.bytes);
    try {
        if (stored.isEmpty())
            throw std::runtime_error("The picture cannot be decoded.");
        photo::loadPhoto(m_main, stored);
    } catch (const std::exception& error) {
        return images::cannotRead(path, QString::fromLocal8Bit(error.what()));
    }
    return {};
}

void PicLoad::Command5_Click() {
    // The path of the last click, or of an earlier choice.
    const QString path = m_main.Label2->text();
    if (path.isEmpty()) {
        // None at all clears the photo. Load Photo is the default button: an Enter by habit
        // must not take a photo away unasked.
        if (photo::showsPhoto(m_main) && !photo::deleteConfirmed(this))
            return;
        photo::loadPhoto(m_main, {});
        accept();
        return;
    }
    const QString failure = loadFile(path);
    if (!failure.isEmpty()) {
        ui::MessageBoxService::show({failure, ui::Buttons::Ok, ui::Icon::Exclamation, 0, {}}, this);
        return;
    }
    accept();
}

void PicLoad::Command6_Click() {
    reject();
}

void PicLoad::notReadable(const QString& place) {
    ui::MessageBoxService::show(
        {QStringLiteral("\"%1\" cannot be read.").arg(QDir::toNativeSeparators(place)),
         ui::Buttons::Ok,
         ui::Icon::Exclamation,
         0,
         {}},
        this);
}

} // namespace quillory
