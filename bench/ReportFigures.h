#pragma once

#include <QString>

namespace quillory::bench {

// The process's resident memory, now ("VmRSS:") or at its highest ("VmHWM:"), in MB.
double memoryMb(const char* key);

// Prints one measured figure beside its limit, with "ok" or "OVER".
void printFigure(const char* what, double value, const char* unit, double limit);

// The book "Corvanel.MDB" of `contacts` made-up contacts in the benchmark folder `name` (under
// $QUILLORY_BENCH_DIR, else /tmp/quillory-bench), made once and kept for later runs; returns
// the folder.
QString benchBookFolder(const QString& name, int contacts);

} // namespace quillory::bench
