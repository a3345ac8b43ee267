#pragma once

#include "maintenance/LocationChoiceDialog.h"

namespace quillory {

// "Back-up Database location?": the back-up goes to the program folder or, through
// frmSaveDB, to a folder the user chooses.
class frmDB final : public LocationChoiceDialog {
    Q_OBJECT
public:
    explicit frmDB(AppContext& app, QWidget* parent = nullptr);
    void Command1_Click() override;
};

} // namespace quillory
