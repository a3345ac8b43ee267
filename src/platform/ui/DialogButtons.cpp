#include "platform/ui/DialogButtons.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace quillory::ui {

DialogButtons makeDialogButtons(QWidget* parent, const QString& acceptCaption,
                                const QString& rejectCaption) {
    auto* accept = new QPushButton(acceptCaption, parent);
    accept->setObjectName(QStringLiteral("Command1"));
    accept->setDefault(true);
    auto* reject = new QPushButton(rejectCaption, parent);
    reject->setObjectName(QStringLiteral("Command2"));
    auto* box = new QDialogButtonBox(parent);
    box->addButton(accept, QDialogButtonBox::AcceptRole);
    box->addButton(reject, QDialogButtonBox::RejectRole);
    return {box, accept, reject};
}

} // namespace quillory::ui
