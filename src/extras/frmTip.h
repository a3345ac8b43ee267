#pragma once

#include <functional>
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillory {

class AppContext;

// "Tip of the Day": one hint about the program, picked at random from the tips file beside the
// program, with its own copy of the setting that shows it at start-up. Modeless; it deletes
// itself when closed.
class frmTip final : public QDialog {
    Q_OBJECT
public:
    explicit frmTip(AppContext& app, QWidget* parent = nullptr);

    // The window's load: mirrors the start-up setting, seeds the random numbers, reads the tips.
    void Form_Load();
    // Reads the tips file at `path`; false when no readable ordinary file is there.
    bool LoadTips(const QString& path);
    void DisplayCurrentTip();
    // Chooses the current tip at random, every tip equally likely, and shows it.
    void PickTip();

    void cmdNextTip_Click();
    void cmdOK_Click();
    void chkLoadTipsAtStartup_Click();

    // Where the next pick's number in [0, 1) comes from; the clock-seeded generator of the
    // load by default.
    void setRandomSource(std::function<double()> source) { m_random = std::move(source); }

    const QStringList& tips() const { return m_tips; }
    int currentTip() const { return m_currentTip; } // 1-based; 0 before the first pick

    // The text shown when the tips file cannot be read.
    static QString missingFileMessage();

    // Controls, named as designed.
    QWidget* Picture1;
    QLabel* Label1;
    QLabel* lblTipText;
    QCheckBox* chkLoadTipsAtStartup;
    QPushButton* cmdNextTip;
    QPushButton* cmdOK;

private:
    AppContext& m_app;
    QStringList m_tips;
    int m_currentTip = 0;
    std::function<double()> m_random;
};

// The tip window over the main window, modeless. A tip window already open is brought to the
// front instead of a second one.
frmTip& showTipWindow(AppContext& app);

} // namespace quillory
