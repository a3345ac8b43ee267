#pragma once

#include <QString>

namespace quillory::engine::openfiles {

// The database files data sources hold open, so that compacting refuses a file in use. Files
// are compared by canonical path; a file held twice is released twice.

// Records `path` as held and returns the key to release it by (empty when the file is gone).
QString hold(const QString& path);
void release(const QString& key);
bool isHeld(const QString& path);

} // namespace quillory::engine::openfiles
