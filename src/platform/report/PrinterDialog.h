#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace quillory::report {

// The printer dialog of a print job (`CommonDialog1.ShowPrinter`): which page orientation it
// starts with (1 portrait, 2 landscape), with print-to-file, page range and selection hidden.
struct PrinterDialogRequest {
    int orientation = 1;
};

// Every printer dialog goes through here, so that tests can answer it. `printer` is set up from
// the user's choices when the dialog is accepted. A cancelled dialog throws PlatformError 32755;
// when no printer is installed, no dialog is shown and PlatformError 68 says so.
class PrinterDialogService {
public:
    using Responder = std::function<bool(const PrinterDialogRequest&, QPrinter& printer)>;

    static void show(const PrinterDialogRequest& request, QPrinter& printer,
                     QWidget* parent = nullptr);

    // Tests install a responder (true: accepted); an empty one restores the real dialog.
    static void setResponder(Responder responder);
};

// The error number of a cancelled common dialog.
inline constexpr int DialogCancelled = 32755;

} // namespace quillory::report
