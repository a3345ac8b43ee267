#pragma once

#include "core/UserSettings.h"
#include "platform/printer/LinePage.h"

#include <functional>
#include <QString>

class QWidget;

namespace quillory {

class frmMain;

// The lines of one address block as the envelope prints them.
struct EnvelopeAddress {
    QString name; // the whole first line: the user's name, or first and last name
    QString address1;
    QString address2;
    QString city;
    QString state;
    QString zip;
};

// The user's return address as the settings hold it.
EnvelopeAddress returnAddressOf(const UserSettings& settings);
// The contact shown in the main window, unsaved edits included.
EnvelopeAddress recipientOf(const frmMain& main);
// A contact's fields: first name, one blank, last name on the first line.
EnvelopeAddress recipientFrom(const QString& first, const QString& last, const QString& address1,
                              const QString& address2, const QString& city, const QString& state,
                              const QString& zip);

// The envelope page for the user's feed choice: the right side of the tray puts the addresses
// lower on the page than the left side or the manual feed.
printer::LinePage envelopePage(const UserSettings& settings, const EnvelopeAddress& recipient);

// Whether the feed choice prints the right-side layout (the dialog stays open afterwards).
bool printsRightSide(UserSettings::EnvelopeFeed feed);

// Prints the envelope on the system's default printer. When that fails, the user is told which
// printer failed and why, and may save the envelope as a PDF file instead. Never throws.
void printEnvelope(const printer::LinePage& page, QWidget* parent);

// Where a PDF of an envelope that could not be printed is saved: asks the user for a file name;
// an empty name drops the envelope. Tests install their own; an empty one restores the dialog.
using PdfFileChooser = std::function<QString(QWidget* parent)>;
void setEnvelopePdfChooser(PdfFileChooser chooser);

} // namespace quillory

namespace quillory {
class ProgramFolder;
// Writes the envelope of the first contact of the sorted book in `folder`, with the return
// address and feed of its settings file, as a PDF file. Throws PlatformError with the reason.
void writeFirstContactEnvelope(const ProgramFolder& folder, const QString& pdfPath);
} // namespace quillory
