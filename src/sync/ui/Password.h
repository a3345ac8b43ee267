#pragma once

#include "sync/PasswordStore.h"

class QWidget;

namespace quillory::sync {

// The account's password as the windows get it: from the store, else asked of the user.
class Password : public PasswordStore {
public:
    // The password as read(), else asked of the user (and kept as write() keeps it); none when
    // the user cancels.
    static std::optional<QString> obtain(const QString& key, const QString& user, QWidget* parent);
};

} // namespace quillory::sync
