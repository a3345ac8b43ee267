#include "sync/ui/Password.h"

#include "platform/ui/Modal.h"

#include <QInputDialog>
#include <QLineEdit>

namespace quillory::sync {

std::optional<QString> Password::obtain(const QString& key, const QString& user, QWidget* parent) {
    if (std::optional<QString> known = read(key))
        return known;
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgSyncPassword"));
    dialog.setWindowTitle(QStringLiteral("Sync with server"));
    dialog.setLabelText(QStringLiteral("Password of %1 on the sync server:").arg(user));
    dialog.setTextEchoMode(QLineEdit::Password);
    if (ui::Modal::exec(dialog) != QDialog::Accepted || dialog.textValue().isEmpty())
        return std::nullopt;
    write(key, dialog.textValue());
    return dialog.textValue();
}

} // namespace quillory::sync
