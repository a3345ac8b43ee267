#include "prefs/frmFind.h"

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

const QString frmFind::ProgramsFolder = QStringLiteral("/usr/bin");

frmFind::frmFind(QLabel& chosenPath, QWidget* parent) : QDialog(parent), m_chosenPath(chosenPath) {
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find Word Processor"));
    setModal(true);
    const int charWidth = fontMetrics().averageCharWidth();
    const int lineHeight = fontMetrics().height();

    Label1 = new QLabel(
        QStringLiteral("Search the Drive and the Folder where your word processor is.  Double "
                       "click on the EXE file in the list box on the right.  If it is the "
                       "correct file you want, CLICK OK below."),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(charWidth * 64);

    Drive2 = new ui::DriveList(this);
    Drive2->setObjectName(QStringLiteral("Drive2"));
    Drive2->setToolTip(QStringLiteral("Select drive to load text file from"));
    Dir2 = new ui::DirList(this);
    Dir2->setObjectName(QStringLiteral("Dir2"));
    Dir2->setToolTip(QStringLiteral("Select directory to load text file from"));
    Dir2->setMinimumSize(charWidth * 32, lineHeight * 14);
    File2 = new ui::FileList(this);
    File2->setObjectName(QStringLiteral("File2"));
    File2->setToolTip(QStringLiteral("Double-click to select text file to save"));
    File2->setMinimumSize(charWidth * 28, lineHeight * 14);
    // The list shows program files, "*.exe" where programs are named by their extension. Here a
    // program is any file the user may start, whatever its name: the execute bit decides.
    File2->setProgramsOnly(true);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    Label2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setMinimumHeight(lineHeight + lineHeight / 2);
    // A long path is cut at the label's edge rather than widening the dialog.
    Label2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    const ui::DialogButtons designed =
        ui::makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Cancel"));
    Command1 = designed.Command1;
    Command2 = designed.Command2;
    QDialogButtonBox* buttons = designed.box;

    // The drive and folder lists on the left, the folder's programs to their right.
    auto* lists = new QGridLayout;
    lists->addWidget(Drive2, 0, 0);
    lists->addWidget(Dir2, 1, 0);
    lists->addWidget(File2, 0, 1, 2, 1);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(1, 1);
    lists->setRowStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(lineHeight / 2);
    layout->addLayout(lists, 1);
    layout->addWidget(Label2);
    layout->addSpacing(lineHeight / 2);
    layout->addWidget(buttons);

    // The lists start where programs are installed (or, without that folder, at the
    // process's current one) and follow each other from there.
    Dir2->setPath(ProgramsFolder);
    ui::linkLists(Drive2, Dir2, File2);
    connect(File2, &ui::FileList::fileClicked, this, &frmFind::File2_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFind::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFind::Command2_Click);
}

void frmFind::Form_Load() {
    adjustSize();
    ui::CenterForm(*this);
}

QString frmFind::pathInFolder(const QString& folder, const QString& name) {
    const QLatin1Char separator('/');
    return folder.endsWith(separator) ? folder + name : folder + separator + name;
}

void frmFind::File2_Click(const QString& name) {
    Label2->setText(pathInFolder(File2->path(), name));
}

void frmFind::Command1_Click() {
    m_chosenPath.setText(Label2->text());
    accept();
}

void frmFind::Command2_Click() {
    reject();
}

} // namespace quillory
