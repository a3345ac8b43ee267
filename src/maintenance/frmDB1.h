#pragma once

#include "maintenance/LocationChoiceDialog.h"

namespace quillory {

// "Restore Database": the back-up comes from the program folder or, through frmGetDB, from a
// folder the user chooses.
class frmDB1 final : public LocationChoiceDialog {
    Q_OBJECT
public:
    explicit frmDB1(AppContext& app, QWidget* parent = nullptr);
    void Command1_Click() override;
};

} // namespace quillory
