#include "outside/frmInfo.h"

#include "core/ProgramInfo.h"
#include "outside/Outside.h"
#include "outside/OutsideWindows.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Geometry.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quillory {

using outside::button;
using outside::textLabel;

frmInfo::frmInfo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Support"));

    Label1 = textLabel(
        "Label1", QStringLiteral("For Support, send email or go to the Support Web page."), this);
    Command1 = button("Command1", QStringLiteral("&Web Support"), this);
    Command3 = button("Command3", QStringLiteral("&Email Support"), this);
    Label3 = textLabel("Label3", QStringLiteral("You are currently running:"), this);
    Label3->setWordWrap(false);
    Label4 = textLabel("Label4", QString(), this);
    QFont versionFont = Label4->font();
    versionFont.setBold(true);
    Label4->setFont(versionFont);
    Label2 = textLabel("Label2",
                       QStringLiteral("For updates to the program, click the button below to go "
                                      "to the web page for Updates."),
                       this);
    Command4 = button("Command4", QStringLiteral("&Check for Update"), this);
    Command2 = button("Command2", QStringLiteral("CL&OSE"), this);

    const int gap = ui::twipsToPixels(120);
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Command1, 1, 0);
    grid->addWidget(Command3, 1, 1);
    grid->setRowMinimumHeight(2, gap);
    auto* running = new QHBoxLayout;
    running->addWidget(Label3);
    running->addWidget(Label4);
    running->addStretch();
    grid->addLayout(running, 3, 0, 1, 2);
    grid->setRowMinimumHeight(4, gap);
    grid->addWidget(Label2, 5, 0, 1, 2);
    grid->addWidget(Command4, 6, 0, 1, 2, Qt::AlignHCenter);
    grid->setRowStretch(7, 1);
    grid->addWidget(Command2, 8, 1, Qt::AlignRight);

    connect(Command1, &QPushButton::clicked, this, &frmInfo::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmInfo::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmInfo::Command4_Click);
    connect(Command2, &QPushButton::clicked, this, &frmInfo::Command2_Click);

    resize(ui::twipsToPixels(5400), ui::twipsToPixels(3150));
}

void frmInfo::Form_Load() {
    // The same words as the about box's version line.
    Label4->setText(program::versionCaption());
    ui::CenterForm(*this);
}

void frmInfo::Command1_Click() {
    shell::ShellService::open(outside::supportTargets().webPage, this);
}

void frmInfo::Command3_Click() {
    shell::ShellService::open(outside::supportTargets().email, this);
}

void frmInfo::Command4_Click() {
    shell::ShellService::open(outside::supportTargets().updatePage, this);
}

void frmInfo::Command2_Click() {
    reject();
}

} // namespace quillory
