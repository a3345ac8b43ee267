#pragma once

namespace quillory {
class ProgramFolder;
}

namespace quillory::tidy {

// `--find-duplicates`: prints the groups of probable duplicates in the book of `folder`, one line
// per contact, tab-separated: the group's number (from 1), the contact's id in the book, its
// name and the group's reason. No window. Returns the exit code: 0 when the book was read (with
// or without duplicates), 1 with one line on the error stream when it cannot be read.
int runFindDuplicatesCommandLine(const ProgramFolder& folder);

} // namespace quillory::tidy
