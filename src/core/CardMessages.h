#pragma once

#include <QString>

class QWidget;

namespace quillory {

// Tells the user that the card's changes could not be written, and why; the typing stays on
// the card as pending edits.
void reportUnsavedCard(const QString& reason, QWidget* parent = nullptr);

} // namespace quillory
