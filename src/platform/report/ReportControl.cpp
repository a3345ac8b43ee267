#include "platform/report/ReportControl.h"

#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"

#include <QFileInfo>

namespace quillory::report {

namespace {

ReportControl::Runner& runner() {
    static ReportControl::Runner installed;
    return installed;
}

QString reasonOf(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

ReportControl::ReportControl(const ProgramFolder& folder, QWidget* parent)
    : m_folder(folder), m_parent(parent) {}

void ReportControl::setRunner(Runner installed) {
    runner() = std::move(installed);
}

ReportRequest ReportControl::request() const {
    return {ReportFileName, WindowTitle, SelectionFormula, SortFields,
            Destination,    LabelOffset, LeaveBlank};
}

void ReportControl::setAction(int action) {
    if (action != 1)
        return;
    try {
        if (!runner())
            throw PlatformError(ErrorNumber::DeviceUnavailable,
                                QStringLiteral("No report engine is installed."));
        runner()(request(), m_folder, m_parent);
    } catch (const std::exception& error) {
        // The print job goes on with its next step; the user learns why this one shows nothing.
        ui::MessageBoxService::show({QStringLiteral("The report \"%1\" could not be made.\n\n%2")
                                         .arg(ReportFileName, reasonOf(error)),
                                     ui::Buttons::Ok,
                                     ui::Icon::Exclamation,
                                     0,
                                     {}},
                                    m_parent);
    }
}

} // namespace quillory::report
