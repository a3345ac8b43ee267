#include "maintenance/frmGetDB.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "maintenance/Maintenance.h"
#include "platform/ui/FileList.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillory {

frmGetDB::frmGetDB(AppContext& app, QWidget* parent)
    : BackupFolderDialog(
          app, QStringLiteral("Restore Database"),
          QStringLiteral("Search the Drive and the Folder where you would like to restore the "
                         "back-up database file then, CLICK OK below. The file name "
                         "\"Corvanel.MD1\" will appear in the list box to the right if it "
                         "exists."),
          parent) {
    setObjectName(QStringLiteral("frmGetDB"));

    Label3 = new QLabel(QStringLiteral("The last location you saved to was:"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    lblDrive = new QLabel(this);
    lblDrive->setObjectName(QStringLiteral("lblDrive"));
    QFont bold = lblDrive->font();
    bold.setBold(true);
    lblDrive->setFont(bold);
    lblDrive->setWordWrap(true);
    lblDrive->setTextInteractionFlags(Qt::TextSelectableByMouse);
    extraRows()->addSpacing(fontMetrics().height() / 2);
    extraRows()->addWidget(Label3);
    extraRows()->addWidget(lblDrive);
}

void frmGetDB::Form_Load() {
    refreshLabel2();
    app().LoadSettings();
    lblDrive->setText(app().mainWindow().lblDrive->text());
    centre();
}

void frmGetDB::Command1_Click() {
    RestoreFromChosenFolder(app(), *this);
    accept();
}

QString frmGetDB::label2Text() const {
    return backupTarget(File2->path());
}

} // namespace quillory
