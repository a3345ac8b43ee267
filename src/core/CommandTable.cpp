#include "core/CommandTable.h"

namespace quillory {

void CommandTable::add(const QString& key, Action action) {
    m_actions.insert(key, std::move(action));
}

bool CommandTable::run(const QString& key, CommandOrigin origin) const {
    const auto found = m_actions.constFind(key);
    if (found == m_actions.constEnd() || !*found)
        return false;
    (*found)(origin);
    return true;
}

} // namespace quillory
