#pragma once

#include <csignal>
#include <unistd.h>

namespace quillory::test {

// Ends the whole test run with a failure when the scope takes longer than `seconds`: a read
// that blocks for ever on a pipe cannot be interrupted from the test itself.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) {
        std::signal(SIGALRM, &expired);
        ::alarm(seconds);
    }
    ~Watchdog() {
        ::alarm(0);
        std::signal(SIGALRM, SIG_DFL);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static void expired(int) {
        static const char text[] = "FAIL! the test hung and was ended by its watchdog\n";
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(3);
    }
};

} // namespace quillory::test
