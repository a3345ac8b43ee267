#pragma once

#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"

#include <exception>
#include <initializer_list>
#include <QString>

class QWidget;

namespace quillory {

class AppContext;

// What the maintenance commands share: their messages and the hold they take on the book.
namespace maintenance {

// The window a message of a maintenance command belongs to: the dialog the user is in, else
// the main window.
QWidget* messageParent(AppContext& app);

// A box with an OK button and the program's title.
void tell(QWidget* parent, const QString& text, ui::Icon icon = ui::Icon::None);
// "Yes" and "No", question icon, "No" the default; true when the answer is "Yes".
bool confirm(QWidget* parent, const QString& text, const QString& caption);

bool isOneOf(const PlatformError& error, std::initializer_list<int> numbers);

// The reason a step failed, as a sentence for the user.
QString reasonOf(const std::exception& error);

// The failure named for the user: what could not be done, why, and that the book is as it was.
QString failureText(const QString& whatFailed, const QString& reason);

// Lets go of the book for the length of a command and opens it again afterwards. The book is
// opened again by reopen(), or by the destructor when a command ends early.
class BookRelease {
public:
    explicit BookRelease(AppContext& app);
    ~BookRelease();
    BookRelease(const BookRelease&) = delete;
    BookRelease& operator=(const BookRelease&) = delete;

    // ReleaseBook, after the card's pending typing is written, as leaving the card writes it.
    // A write that fails is reported as there ("The changes to this card could not be
    // saved.") and false returned: the book stays open with the typing on the card, and the
    // command goes no further. Other failures throw PlatformError.
    [[nodiscard]] bool release();
    // ReopenBook when the book was let go, and the card shows the first contact again. A
    // failure is reported to the user, unless the caller reports it itself, and false returned
    // (the main window then stands without a book).
    bool reopen(bool reportFailure = true);

private:
    AppContext& m_app;
    bool m_released = false;
};

} // namespace maintenance
} // namespace quillory
