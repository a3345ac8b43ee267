#include "outside/frmSend.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "outside/OutsideWindows.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Geometry.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quillory {

using outside::button;
using outside::textLabel;
using outside::valueLabel;

frmSend::frmSend(AppContext& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setObjectName(QStringLiteral("frmSend"));
    setWindowTitle(QStringLiteral("Email & Web"));

    Label1 = textLabel("Label1",
                       QStringLiteral("From here you can send an email or jump to the persons "
                                      "personal web page. Select your choice below."),
                       this);
    Label2 = textLabel("Label2", QStringLiteral("Data for:"), this);
    // The display name, bold and unframed, shortened like the addresses when it is long.
    Label3 = valueLabel("Label3", this);
    Label3->setFrameStyle(QFrame::NoFrame);
    Label3->setMargin(0);
    QFont nameFont = Label3->font();
    nameFont.setBold(true);
    Label3->setFont(nameFont);
    Label6 = textLabel("Label6", QStringLiteral("Email Address"), this);
    Label4 = valueLabel("Label4", this);
    Label7 = textLabel("Label7", QStringLiteral("Web Page Address"), this);
    Label5 = valueLabel("Label5", this);
    Command1 = button("Command1", QStringLiteral("&Send Email"), this);
    Command2 = button("Command2", QStringLiteral("&Go to web page"), this);
    Command3 = button("Command3", QStringLiteral("&Close"), this);
    Label6->setBuddy(Command1);
    Label7->setBuddy(Command2);

    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(ui::twipsToPixels(60));
    grid->addWidget(Label1, 0, 0, 1, 3);
    grid->setRowMinimumHeight(1, ui::twipsToPixels(60));
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(Label3, 2, 1, 1, 2);
    grid->setRowMinimumHeight(3, ui::twipsToPixels(60));
    grid->addWidget(Label6, 4, 0, 1, 2);
    grid->addWidget(Label4, 5, 0, 1, 2);
    grid->addWidget(Command1, 5, 2);
    grid->addWidget(Label7, 6, 0, 1, 2);
    grid->addWidget(Label5, 7, 0, 1, 2);
    grid->addWidget(Command2, 7, 2);
    grid->setRowStretch(8, 1);
    grid->addWidget(Command3, 9, 2);

    connect(Command1, &QPushButton::clicked, this, &frmSend::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmSend::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmSend::Command3_Click);

    resize(ui::twipsToPixels(6000), ui::twipsToPixels(3150));
}

void frmSend::Form_Load() {
    ui::CenterForm(*this);
    // The texts as the main window's card shows them: the display name is the stored one,
    // which can lag behind a name just typed.
    const frmMain& main = m_app.mainWindow();
    Label3->setText(main.Label5->text());
    outside::setValue(Label4, main.Text9->text());
    outside::setValue(Label5, main.Text18->text());
}

void frmSend::Command1_Click() {
    shell::ShellService::mail(Label4->text(), this);
}

void frmSend::Command2_Click() {
    shell::ShellService::open(Label5->text(), this);
}

void frmSend::Command3_Click() {
    reject();
}

} // namespace quillory
