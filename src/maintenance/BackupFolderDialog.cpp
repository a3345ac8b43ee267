#include "maintenance/BackupFolderDialog.h"

#include "core/ContactRecord.h"
#include "maintenance/Maintenance.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/FileSystemLists.h"
#include "platform/ui/Geometry.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

BackupFolderDialog::BackupFolderDialog(AppContext& app, const QString& caption,
                                       const QString& instructions, QWidget* parent)
    : QDialog(parent), m_app(app) {
    setWindowTitle(caption);
    setModal(true);
    const int charWidth = fontMetrics().averageCharWidth();
    const int lineHeight = fontMetrics().height();

    Label1 = new QLabel(instructions, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);

    Drive2 = new ui::DriveList(this);
    Drive2->setObjectName(QStringLiteral("Drive2"));
    Drive2->setToolTip(QStringLiteral("Select drive to load text file from"));
    Dir2 = new ui::DirList(this);
    Dir2->setObjectName(QStringLiteral("Dir2"));
    Dir2->setToolTip(QStringLiteral("Select directory to load text file from"));
    Dir2->setMinimumSize(charWidth * 32, lineHeight * 12);
    File2 = new ui::FileList(this);
    File2->setObjectName(QStringLiteral("File2"));
    File2->setPattern(contact::file::BackupName);
    File2->setMinimumSize(charWidth * 24, lineHeight * 12);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setWordWrap(true);
    Label2->setMinimumHeight(lineHeight + lineHeight / 2);

    const ui::DialogButtons designed =
        ui::makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Close"));
    Command1 = designed.Command1;
    Command2 = designed.Command2;
    QDialogButtonBox* buttons = designed.box;

    // The drive and folder lists on the left, the back-up files of the folder to their right.
    auto* lists = new QGridLayout;
    lists->addWidget(Drive2, 0, 0);
    lists->addWidget(Dir2, 1, 0);
    lists->addWidget(File2, 0, 1, 2, 1);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(1, 2);
    lists->setRowStretch(1, 1);

    m_extraRows = new QVBoxLayout;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(lineHeight / 2);
    layout->addLayout(lists, 1);
    layout->addWidget(Label2);
    layout->addLayout(m_extraRows);
    layout->addSpacing(lineHeight / 2);
    layout->addWidget(buttons);
    Label1->setMinimumWidth(charWidth * 64);

    // The lists start at the process's current drive and folder and follow each other.
    ui::linkLists(Drive2, Dir2, File2);
    connect(Dir2, &ui::DirList::pathChanged, this, &BackupFolderDialog::Dir2_Change);
    connect(Drive2, &ui::DriveList::driveNotReady, this, &BackupFolderDialog::Drive2_NotReady);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &BackupFolderDialog::Command2_Click);
}

void BackupFolderDialog::Command2_Click() {
    reject();
}

void BackupFolderDialog::Dir2_Change() {
    File2->setPath(Dir2->path());
    refreshLabel2();
}

void BackupFolderDialog::Drive2_NotReady() {
    DiskErrorMessage(ErrorNumber::DeviceUnavailable, this);
}

void BackupFolderDialog::refreshLabel2() {
    Label2->setText(label2Text());
}

void BackupFolderDialog::centre() {
    adjustSize();
    ui::CenterForm(*this);
}

} // namespace quillory
