#pragma once

#include "exchange/Exchange.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace quillory {

class AppContext;

namespace exchange {
class BackgroundRun;
}

// "Import Contacts": the user picks a vCard or CSV file, sees what it holds (its format, how
// many contacts, where each CSV column goes and the first contacts as they will be stored),
// chooses what happens to contacts the book already has and which contact type contacts get
// whose file names none, and imports. The import runs in one
// transaction in the background, with a progress bar and Cancel; at its end a summary says what
// was imported, updated and skipped, and which records could not be read and why.
class frmImport final : public QDialog {
    Q_OBJECT
public:
    explicit frmImport(AppContext& app, QWidget* parent = nullptr);
    ~frmImport() override;

    void Form_Load();
    // Reads `path` and shows what an import of it would take; a file that cannot be read is
    // said in the status line and cannot be imported.
    void openFile(const QString& path);

    void cmdChoose_Click();
    void cmdImport_Click();
    void cmdClose_Click();

    bool isImporting() const;
    // The mapping the import will use (CSV), with the user's changes.
    exchange::Mapping mapping() const;
    // The summary of the last import, shown to the user at its end.
    const exchange::ImportSummary& lastSummary() const { return m_summary; }

    QLineEdit* txtFile;
    QPushButton* cmdChoose;
    // Automatic, vCard or CSV: how the file is read, for a file whose first bytes mislead.
    QComboBox* cboFormat;
    QLabel* lblFormat;
    QGroupBox* fraMapping;
    QTableWidget* grdMapping;
    QTableWidget* grdPreview;
    QGroupBox* fraDuplicates;
    QRadioButton *optSkip, *optAdd, *optUpdate;
    QGroupBox* fraTypes;
    QRadioButton *optTypeAuto, *optTypePersonal, *optTypeBusiness;
    QProgressBar* prgImport;
    QLabel* lblStatus;
    QPushButton* cmdImport;
    QPushButton* cmdClose;

Q_SIGNALS:
    // The import has ended, whichever way.
    void importEnded();

protected:
    void reject() override;

private:
    void showPreview(const exchange::Preview& preview);
    void showMapping(const exchange::Preview& preview);
    void showFirstContacts(); // with the contact type the import will give them
    void mappingChanged();
    void importFinished(const QString& error);
    void setBusy(bool busy);
    exchange::ReadOptions readOptions() const;

    AppContext& m_app;
    QButtonGroup* m_duplicates;
    QButtonGroup* m_types;
    exchange::BackgroundRun* m_run;
    QString m_path;
    bool m_readable = false;
    bool m_showingMapping = false;
    exchange::Format m_format = exchange::Format::Unknown;
    exchange::ImportSummary m_summary;
    QVector<exchange::ReadRecord> m_first; // of the file's preview
};

} // namespace quillory
