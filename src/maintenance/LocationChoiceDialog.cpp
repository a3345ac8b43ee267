#include "maintenance/LocationChoiceDialog.h"

#include "platform/ui/DialogButtons.h"
#include "platform/ui/Geometry.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillory {

LocationChoiceDialog::LocationChoiceDialog(AppContext& app, const Texts& texts, QWidget* parent)
    : QDialog(parent), m_app(app) {
    setWindowTitle(texts.caption);
    setModal(true);

    Label1 = new QLabel(texts.instructions, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);

    OptLoc = new QRadioButton(texts.programFolder, this);
    OptLoc->setObjectName(QStringLiteral("OptLoc"));
    OptExt = new QRadioButton(texts.otherDrive, this);
    OptExt->setObjectName(QStringLiteral("OptExt"));
    auto* places = new QButtonGroup(this);
    places->addButton(OptLoc);
    places->addButton(OptExt);
    OptLoc->setChecked(true);

    const ui::DialogButtons designed =
        ui::makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Cancel"));
    Command1 = designed.Command1;
    Command2 = designed.Command2;
    QDialogButtonBox* buttons = designed.box;

    auto* options = new QVBoxLayout;
    options->setContentsMargins(fontMetrics().averageCharWidth() * 2, 0, 0, 0);
    options->addWidget(OptLoc);
    options->addWidget(OptExt);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(options);
    layout->addSpacing(fontMetrics().height());
    layout->addStretch();
    layout->addWidget(buttons);
    // Wide enough for the instructions to take two or three lines.
    Label1->setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &LocationChoiceDialog::Command2_Click);
}

void LocationChoiceDialog::Form_Load() {
    adjustSize();
    ui::CenterForm(*this);
}

void LocationChoiceDialog::Command2_Click() {
    reject();
}

} // namespace quillory
