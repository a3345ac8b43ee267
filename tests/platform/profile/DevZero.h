#pragma once

#include <sys/stat.h>

namespace quillory::test {

// The tests link settings files to /dev/zero. Run as root, a save that wrote through such a
// link would replace the device itself with a file, for every program on the machine; the
// tests check the device before and after, so that such a fault is seen at once.
inline bool devZeroIsADevice() {
    struct stat entry {};
    return ::stat("/dev/zero", &entry) == 0 && S_ISCHR(entry.st_mode);
}

} // namespace quillory::test
