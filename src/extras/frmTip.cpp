#include "extras/frmTip.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "extras/TipsText.h"
#include "platform/ui/Geometry.h"

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {

// The window's design, in twips.
constexpr double ClientWidth = 5415;
constexpr double ClientHeight = 3285;
constexpr QRectF PictureRect(120, 120, 3705, 2715);
constexpr QRectF BulbRect(150, 150, 420, 420); // inside the picture
constexpr QRectF HeadingRect(660, 240, 2925, 315);
constexpr QRectF TipTextRect(180, 720, 3345, 1875);
constexpr QRectF CheckRect(120, 2940, 2655, 285);
constexpr QRectF OkRect(4080, 120, 1215, 375);
constexpr QRectF NextRect(4080, 600, 1215, 375);

// The white card the tip is written on, with the light bulb in its corner.
class TipPicture final : public QWidget {
public:
    explicit TipPicture(QWidget* parent)
        : QWidget(parent), m_bulb(QStringLiteral(":/pictures/tip.svg")) {
        setObjectName(QStringLiteral("Picture1"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        m_bulb.render(&painter, ui::twipsToPixels(BulbRect));
    }

private:
    QSvgRenderer m_bulb;
};

QPushButton* button(const QString& caption, const char* name, const QRectF& at, QWidget* parent) {
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setGeometry(ui::twipsToPixels(at));
    return made;
}

// A tips file far beyond any list of hints is not read into the window.
constexpr qint64 MaxTipsFileSize = 4 * 1024 * 1024;

// The bytes of the tips file, or nothing when no readable ordinary file is at `path`. Folders,
// pipes and devices are not tips files: opening a pipe would wait for a writer, so the file is
// opened without waiting and looked at again once open.
std::optional<QByteArray> readTipsFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat entry {};
    if (::stat(native.constData(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return std::nullopt;
    const int descriptor = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    if (::fstat(descriptor, &entry) != 0 || !S_ISREG(entry.st_mode) ||
        entry.st_size > MaxTipsFileSize)
        return std::nullopt;
    QByteArray contents = file.read(MaxTipsFileSize + 1);
    if (file.error() != QFileDevice::NoError || contents.size() > MaxTipsFileSize)
        return std::nullopt;
    return contents;
}

} // namespace

frmTip::frmTip(AppContext& app, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_app(app) {
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setModal(false);
    setFixedSize(ui::twipsToPixels(QRectF(0, 0, ClientWidth, ClientHeight)).size());

    Picture1 = new TipPicture(this);
    Picture1->setGeometry(ui::twipsToPixels(PictureRect));

    Label1 = new QLabel(QStringLiteral("Did you know..."), Picture1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    Label1->setFont(heading);
    Label1->setGeometry(ui::twipsToPixels(HeadingRect));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    lblTipText = new QLabel(Picture1);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setTextFormat(Qt::PlainText);
    lblTipText->setWordWrap(true);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText->setGeometry(ui::twipsToPixels(TipTextRect));

    chkLoadTipsAtStartup = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    chkLoadTipsAtStartup->setGeometry(ui::twipsToPixels(CheckRect));
    chkLoadTipsAtStartup->setChecked(true);

    cmdOK = button(QStringLiteral("OK"), "cmdOK", OkRect, this);
    cmdOK->setDefault(true);
    cmdNextTip = button(QStringLiteral("&Next Tip"), "cmdNextTip", NextRect, this);

    setTabOrder(cmdOK, cmdNextTip);
    setTabOrder(cmdNextTip, chkLoadTipsAtStartup);

    connect(cmdNextTip, &QPushButton::clicked, this, &frmTip::cmdNextTip_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmTip::cmdOK_Click);
    // A change made by the load counts as well: it brings the file in line with the box.
    connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this, &frmTip::chkLoadTipsAtStartup_Click);
}

QString frmTip::missingFileMessage() {
    const QString name = QStringLiteral("TIPS.TXT");
    return QStringLiteral("That the ") + name + QStringLiteral(" file was not found? ") +
           QStringLiteral("\r\n") + QStringLiteral("\r\n") +
           QStringLiteral("Create a text file named ") + name +
           QStringLiteral(" using NotePad with 1 tip per line. ") +
           QStringLiteral("Then place it in the same directory as the application. ");
}

void frmTip::Form_Load() {
    // 2, the undetermined state, leaves the box as it was made: ticked.
    const int showTips = m_app.settings().showTips;
    if (showTips == 1)
        chkLoadTipsAtStartup->setChecked(true);
    else if (showTips == 0)
        chkLoadTipsAtStartup->setChecked(false);

    if (!m_random) {
        const auto seed = std::chrono::system_clock::now().time_since_epoch().count();
        m_random = [generator = std::mt19937_64(static_cast<std::uint64_t>(seed))]() mutable {
            // 53 random bits over 2^53: always below 1, unlike a real distribution's rounding.
            return double(generator() >> 11) * 0x1.0p-53;
        };
    }

    if (!LoadTips(m_app.folder().resource(QStringLiteral("\\TIPS.TXT"))))
        lblTipText->setText(missingFileMessage());
}

bool frmTip::LoadTips(const QString& path) {
    if (path.isEmpty())
        return false;
    const std::optional<QByteArray> contents = readTipsFile(path);
    if (!contents)
        return false;
    m_tips.append(tipLines(*contents));
    PickTip();
    return true;
}

void frmTip::PickTip() {
    const qsizetype count = m_tips.size();
    const double r = m_random ? m_random() : 0.0;
    const double pick = std::floor(r * double(count) + 1.0);
    // A source that strays outside [0, 1) still names a tip of the list.
    m_currentTip = int(std::clamp(pick, 1.0, double(std::max<qsizetype>(count, 1))));
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip() {
    if (!m_tips.isEmpty())
        lblTipText->setText(m_tips.at(m_currentTip - 1));
}

void frmTip::cmdNextTip_Click() {
    PickTip();
}

void frmTip::cmdOK_Click() {
    close();
}

void frmTip::chkLoadTipsAtStartup_Click() {
    m_app.settings().showTips = chkLoadTipsAtStartup->isChecked() ? 1 : 0;
    try {
        m_app.SaveSettings();
    } catch (const std::exception&) {
        // A settings file that cannot be written is passed over, as every save does.
    }
}

frmTip& showTipWindow(AppContext& app) {
    frmMain& main = app.mainWindow();
    for (frmTip* open : main.findChildren<frmTip*>(Qt::FindDirectChildrenOnly)) {
        if (open->isVisible()) {
            open->raise();
            open->activateWindow();
            return *open;
        }
    }
    auto* tip = new frmTip(app, &main);
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tip->Form_Load();
    // Not centred: it stands over the main window's upper left part, below its toolbar.
    const QPoint corner = main.frameGeometry().topLeft();
    tip->move(corner + QPoint(ui::twipsToPixels(600), ui::twipsToPixels(1500)));
    tip->show();
    tip->raise();
    tip->activateWindow();
    return *tip;
}

} // namespace quillory
