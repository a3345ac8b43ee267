#include "extras/About.h"

#include "core/ProgramInfo.h"
#include "extras/PictureBox.h"
#include "platform/ui/Geometry.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

namespace quillory {

namespace {

// The box's design, in twips.
constexpr double ClientWidth = 5160;
constexpr double ClientHeight = 2580;
constexpr QRectF PictureRect(240, 240, 1440, 1440);
constexpr QRectF NameRect(1920, 240, 3000, 1140);
constexpr QRectF VersionRect(1920, 1440, 3000, 285);
constexpr QRectF OkRect(3705, 1995, 1215, 375);

} // namespace

About::About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About Quillory"));
    setFixedSize(ui::twipsToPixels(QRectF(0, 0, ClientWidth, ClientHeight)).size());

    Image1 = new PictureBox(QStringLiteral(":/pictures/about.svg"), "Image1", this);
    Image1->setGeometry(ui::twipsToPixels(PictureRect));
    // The second picture lies over the first, so each click swaps one for the other.
    DevImage = new PictureBox(QStringLiteral(":/pictures/workshop.svg"), "DevImage", this);
    DevImage->setGeometry(ui::twipsToPixels(PictureRect));
    DevImage->hide();

    Label3 = new QLabel(QStringLiteral("Quillory\nfor\nWindows 95/98/Me"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont name = Label3->font();
    name.setBold(true);
    name.setPointSizeF(name.pointSizeF() * 1.4);
    Label3->setFont(name);
    Label3->setStyleSheet(QStringLiteral("color: #2f6fb3;"));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setGeometry(ui::twipsToPixels(NameRect));

    Label1 = new QLabel(program::versionCaption(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(ui::twipsToPixels(VersionRect));

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command1->setGeometry(ui::twipsToPixels(OkRect));

    connect(Command1, &QPushButton::clicked, this, &About::Command1_Click);
    connect(Image1, &PictureBox::clicked, this, &About::Image1_Click);
    connect(DevImage, &PictureBox::clicked, this, &About::DevImage_Click);
}

void About::Form_Load() {
    DevImage->hide();
    ui::CenterForm(*this);
}

void About::Form_Activate() {
    Command1->setFocus(Qt::ActiveWindowFocusReason);
}

void About::Command1_Click() {
    accept();
}

void About::Image1_Click() {
    DevImage->show();
    DevImage->raise();
}

void About::DevImage_Click() {
    DevImage->hide();
}

bool About::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

} // namespace quillory
