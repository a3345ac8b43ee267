#pragma once

#include "exchange/Exchange.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace quillory {

class AppContext;

namespace exchange {
class BackgroundRun;
}

// "Export Contacts": the whole book, the contacts the window shows now, or those marked for
// printing, written as vCard 4.0, 3.0 or 2.1 or CSV to a file the user names. The file appears
// only when it is complete; Cancel leaves no file.
class frmExport final : public QDialog {
    Q_OBJECT
public:
    explicit frmExport(AppContext& app, QWidget* parent = nullptr);
    ~frmExport() override;

    void Form_Load();
    void cmdChoose_Click();
    void cmdExport_Click();
    void cmdClose_Click();

    // The file the export writes; Choose... sets it, and so can a caller.
    void setFile(const QString& path);
    bool isExporting() const;
    const exchange::ExportSummary& lastSummary() const { return m_summary; }

    QGroupBox* fraScope;
    QRadioButton *optWhole, *optView, *optMarked;
    QGroupBox* fraFormat;
    QRadioButton *optVCard4, *optVCard3, *optVCard21, *optCsv;
    QLineEdit* txtFile;
    QPushButton* cmdChoose;
    QProgressBar* prgExport;
    QLabel* lblStatus;
    QPushButton* cmdExport;
    QPushButton* cmdClose;

Q_SIGNALS:
    void exportEnded();

protected:
    void reject() override;

private:
    void formatChanged();
    void exportFinished(const QString& error);
    void setBusy(bool busy);

    AppContext& m_app;
    QButtonGroup* m_scopes;
    QButtonGroup* m_formats;
    exchange::BackgroundRun* m_run;
    exchange::ExportSummary m_summary;
};

// Puts "import" and "export" into the command table: the two dialogs, modal.
void registerExchangeCommands(AppContext& app);

} // namespace quillory
