#include "platform/ui/Modal.h"

#include <QDialog>

namespace quillory::ui {

namespace {
Modal::Hook& hook() {
    static Modal::Hook instance;
    return instance;
}
} // namespace

int Modal::exec(QDialog& dialog) {
    if (hook()) {
        dialog.setModal(true);
        dialog.show();
        hook()(dialog);
        const int result = dialog.result();
        dialog.hide();
        return result;
    }
    return dialog.exec();
}

void Modal::setHook(Hook newHook) {
    hook() = std::move(newHook);
}

} // namespace quillory::ui
