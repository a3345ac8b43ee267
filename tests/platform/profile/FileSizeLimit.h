#pragma once

#include <csignal>
#include <sys/resource.h>

namespace quillory::test {

// Caps the size of any file this process writes, so that a save fails part way for real even
// when the tests run as root (who ignores permission bits). The signal the kernel sends on
// an oversized write is ignored, so the write fails with EFBIG instead of ending the test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_active = ::getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        if (m_active) {
            rlimit capped = m_previous;
            capped.rlim_cur = bytes;
            m_active = ::setrlimit(RLIMIT_FSIZE, &capped) == 0;
        }
    }
    ~FileSizeLimit() {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

} // namespace quillory::test
