#include "app/Registration.h"

#include "browse/BrowseCommands.h"
#include "core/CoreCommands.h"
#include "core/HelpCommand.h"
#include "exchange/ui/frmExport.h"
#include "extras/Extras.h"
#include "maintenance/Maintenance.h"
#include "outside/Outside.h"
#include "platform/report/ReportSource.h"
#include "prefs/frmUser.h"
#include "printing/frmPrint.h"
#include "search/frmsrch.h"
#include "sync/ui/frmSync.h"
#include "tidy/ui/TidyCommands.h"

namespace quillory {

void registerAllCommands(AppContext& app) {
    // Print jobs run their reports on the program's own engine, into its preview window.
    report::installReportRunner();
    registerCoreCommands(app);
    registerBrowseCommands(app);
    registerSearchCommands(app);
    registerMaintenanceCommands(app);
    registerPrefsCommands(app);
    registerOutsideCommands(app);
    registerExtrasCommands(app);
    registerPrintingCommands(app);
    registerExchangeCommands(app);
    registerSyncCommands(app);
    registerTidyCommands(app);
    registerHelpCommands(app);
}

} // namespace quillory
