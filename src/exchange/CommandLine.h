#pragma once

#include <QString>

namespace quillory {
class ProgramFolder;
}

namespace quillory::exchange {

// What the command line asked for: --import FILE or --export FILE, with --format,
// --on-duplicate and --contact-type as given (empty when not given).
struct CommandLineRequest {
    QString importFile;
    QString exportFile;
    QString format;
    QString onDuplicate;
    QString contactType;
};

// Imports into or exports from the book of `folder` (made as the program makes it when it is
// missing), without a window. The summary goes to standard output; a failure is one line on
// the error stream. Returns the exit code: 0 when done, 1 when it failed, 2 for options that do
// not go together.
int runCommandLine(const ProgramFolder& folder, const CommandLineRequest& request);

} // namespace quillory::exchange
