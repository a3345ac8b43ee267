#include "core/frmSplash.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/ProgramInfo.h"
#include "platform/ui/Geometry.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSvgWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quillory {

frmSplash::frmSplash(AppContext& app, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_app(app) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setStyleSheet(
        QStringLiteral("QWidget#frmSplash { background: #fdfcf7; border: 2px solid #2f6fb3; }"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 24, 32, 24);
    row->setSpacing(24);
    auto* picture = new QSvgWidget(QStringLiteral(":/pictures/splash.svg"), this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(140, 140);
    row->addWidget(picture);
    auto* texts = new QVBoxLayout;
    auto* product = new QLabel(QStringLiteral("Quillory"), this);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 2.4);
    big.setBold(true);
    product->setFont(big);
    product->setStyleSheet(QStringLiteral("color: #2f6fb3;"));
    auto* platform = new QLabel(QStringLiteral("for Windows 95/98/Me"), this);
    platform->setObjectName(QStringLiteral("lblPlatform"));
    auto* version = new QLabel(program::versionCaption(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    texts->addStretch();
    texts->addWidget(product);
    texts->addWidget(platform);
    texts->addSpacing(12);
    texts->addWidget(version);
    texts->addStretch();
    row->addLayout(texts);
    adjustSize();
    ui::CenterForm(*this);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void frmSplash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_activated || m_activationDue)
        return;
    // A window system that never exposes the splash (a minimised start) must not keep the
    // program from starting.
    QTimer::singleShot(unexposedWaitMs, this, &frmSplash::activateOnce);
}

void frmSplash::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_activated || m_activationDue)
        return;
    // The main window's load takes the thread; it starts once this first picture has been
    // handed to the screen, which happens as this paint returns.
    m_activationDue = true;
    QTimer::singleShot(0, this, &frmSplash::activateOnce);
}

void frmSplash::activateOnce() {
    if (m_activated)
        return;
    Form_Activate();
}

void frmSplash::Form_Activate() {
    m_activated = true;
    repaint();
    frmMain& main = m_app.mainWindow(); // closes this window during its load
    QGuiApplication::restoreOverrideCursor();
    main.show();
    main.Form_Resize();
    m_app.afterMainWindowShown();
    Q_EMIT started();
}

} // namespace quillory
