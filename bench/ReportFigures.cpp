#include "ReportFigures.h"

#include "BookGenerator.h"

#include <cstdio>
#include <QDir>
#include <QFile>

namespace quillory::bench {

double memoryMb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

void printFigure(const char* what, double value, const char* unit, double limit) {
    std::printf("%-44s %10.2f %-3s (limit %g %s) %s\n", what, value, unit, limit, unit,
                value < limit ? "ok" : "OVER");
}

QString benchBookFolder(const QString& name, int contacts) {
    const QString books =
        qEnvironmentVariable("QUILLORY_BENCH_DIR", QStringLiteral("/tmp/quillory-bench"));
    const QString folder = QDir(books).filePath(QStringLiteral("%1-%2").arg(name).arg(contacts));
    QDir().mkpath(folder);
    const QString book = QDir(folder).filePath(QStringLiteral("Corvanel.MDB"));
    if (!QFile::exists(book)) {
        BookPlan plan;
        plan.contacts = contacts;
        generateBook(book, plan);
    }
    return folder;
}

} // namespace quillory::bench
