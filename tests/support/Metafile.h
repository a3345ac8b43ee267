#pragma once

#include <QByteArray>

namespace quillory::test {

// A small Windows metafile, written record by record: a placeable header for a drawing one inch
// by two thirds of an inch, and a red filled rectangle.
QByteArray smallMetafile();

} // namespace quillory::test
