#pragma once

#include <QString>

class QDialogButtonBox;
class QPushButton;
class QWidget;

namespace quillory::ui {

// A dialog's accepting and rejecting buttons as designed: `Command1` (the default button,
// captioned `acceptCaption`) and `Command2` (`rejectCaption`), in the desktop's order.
struct DialogButtons {
    QDialogButtonBox* box;
    QPushButton* Command1;
    QPushButton* Command2;
};
DialogButtons makeDialogButtons(QWidget* parent, const QString& acceptCaption,
                                const QString& rejectCaption);

} // namespace quillory::ui
