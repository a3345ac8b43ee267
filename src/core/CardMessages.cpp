#include "core/CardMessages.h"

#include "platform/ui/MessageBox.h"

namespace quillory {

void reportUnsavedCard(const QString& reason, QWidget* parent) {
    ui::MessageBoxService::show(
        {QStringLiteral("The changes to this card could not be saved.\n\n%1\n\nYour typing is "
                        "kept on the card; try again once the problem is solved.")
             .arg(reason),
         ui::Buttons::Ok,
         ui::Icon::Exclamation,
         0,
         {}},
        parent);
}

} // namespace quillory
