// Timings of the book's engine on large books: refresh, moves, the letter index, views, the
// grid's reads, photos, memory, and compaction next to the sqlite3 tool.
//
// The books are generated once and kept in $QUILLORY_BENCH_DIR (default /tmp/quillory-bench);
// $QUILLORY_BENCH_CONTACTS changes their size (default 100000).
// $QUILLORY_BENCH_CONNECTION_SQL, when set, runs on every connection the engine opens.

#include "BookGenerator.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <random>
#include <sqlite3.h>
#include <unistd.h>

namespace {

using quillory::PlatformError;
using quillory::engine::DataSource;
using Clock = std::chrono::steady_clock;

const QString sortedSource = QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef");
const QString personalSource =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");
const QString businessSource =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Business Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");

// The grid's columns in their order, the photo excluded.
const QStringList& gridFields() {
    static const QStringList fields = {
        QStringLiteral("extra4"),   QStringLiteral("name"),     QStringLiteral("namef"),
        QStringLiteral("address1"), QStringLiteral("address2"), QStringLiteral("city"),
        QStringLiteral("state"),    QStringLiteral("zip"),      QStringLiteral("phone"),
        QStringLiteral("phone2"),   QStringLiteral("pager"),    QStringLiteral("phone3"),
        QStringLiteral("fax"),      QStringLiteral("fax2"),     QStringLiteral("email"),
        QStringLiteral("Birthday"), QStringLiteral("remarks"),  QStringLiteral("extra1"),
        QStringLiteral("extra2"),   QStringLiteral("extra3"),   QStringLiteral("extra5"),
        QStringLiteral("extra6"),   QStringLiteral("extra7"),   QStringLiteral("extra8")};
    return fields;
}

// --- statements run, counted on every connection the engine opens ----------------------------

std::atomic<quint64> statementsRun{0};

int countStatement(unsigned, void*, void*, void*) {
    statementsRun.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// $QUILLORY_BENCH_CONNECTION_SQL runs on every connection as it opens, to try a setting (a
// pragma) on the engine without changing it.
QByteArray connectionSql;

int traceConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &countStatement, nullptr);
    if (!connectionSql.isEmpty())
        return sqlite3_exec(db, connectionSql.constData(), nullptr, nullptr, nullptr);
    return SQLITE_OK;
}

class StatementCount {
public:
    StatementCount() : m_start(statementsRun.load()) {}
    double since() const { return double(statementsRun.load() - m_start); }

private:
    quint64 m_start;
};

// --- the books ---------------------------------------------------------------------------------

struct Books {
    QString folder;
    int contacts = 100000;
    QString plain;
    QString photos;
    QString empty;
} books;

const QString& bookPath(std::int64_t photos) {
    return photos ? books.photos : books.plain;
}

const char* bookLabel(std::int64_t photos) {
    return photos ? "book with photos" : "book";
}

bool isUsable(const QString& path, int contacts, bool photos) {
    if (!QFileInfo::exists(path))
        return false;
    try {
        auto db = quillory::engine::Database::open(path);
        if (!db->isBook())
            return false;
        const QVariant rows = db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK"));
        // length() of a BLOB is read from the row's header, not from its overflow pages.
        const QVariant withPhoto =
            db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK WHERE length(bitmap) > 0"));
        return rows.toInt() == contacts && withPhoto.toInt() == (photos ? contacts : 0);
    } catch (const PlatformError&) {
        return false;
    }
}

void ensureBook(const QString& path, int contacts, bool photos) {
    if (isUsable(path, contacts, photos))
        return;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    std::fprintf(stderr, "Generating %s ...\n", qPrintable(path));
    quillory::bench::BookPlan plan;
    plan.contacts = contacts;
    plan.photos = photos;
    const quillory::bench::BookReport report = quillory::bench::generateBook(path, plan);
    std::fprintf(stderr, "  %d contacts, %.1f MB, %.2f s\n", contacts,
                 double(report.fileBytes) / 1e6, report.seconds);
}

bool prepareBooks() {
    books.folder =
        qEnvironmentVariable("QUILLORY_BENCH_DIR", QStringLiteral("/tmp/quillory-bench"));
    bool ok = false;
    const int contacts = qEnvironmentVariable("QUILLORY_BENCH_CONTACTS").toInt(&ok);
    if (ok && contacts > 0)
        books.contacts = contacts;
    if (!QDir().mkpath(books.folder)) {
        std::fprintf(stderr, "bench_engine: cannot create %s\n", qPrintable(books.folder));
        return false;
    }
    const QDir folder(books.folder);
    books.plain = folder.filePath(QStringLiteral("book-%1.mdb").arg(books.contacts));
    books.photos = folder.filePath(QStringLiteral("book-%1-photos.mdb").arg(books.contacts));
    books.empty = folder.filePath(QStringLiteral("empty.mdb"));
    try {
        ensureBook(books.plain, books.contacts, false);
        ensureBook(books.photos, books.contacts, true);
        ensureBook(books.empty, 0, false);
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "bench_engine: %s (error %d)\n", qPrintable(error.description()),
                     error.number());
        return false;
    }
    return true;
}

// --- helpers -----------------------------------------------------------------------------------

std::unique_ptr<DataSource> openBook(const QString& path, const QString& source = sortedSource) {
    auto data = std::make_unique<DataSource>();
    data->setDatabaseName(path);
    data->setRecordSource(source);
    data->refresh();
    return data;
}

// Runs a benchmark's body; an engine failure ends it with the engine's message.
template <typename Body> void guarded(benchmark::State& state, Body body) {
    try {
        body();
    } catch (const PlatformError& error) {
        state.SkipWithError(qPrintable(
            QStringLiteral("%1 (error %2)").arg(error.description()).arg(error.number())));
    }
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QVector<int> randomPositions(int count, int size) {
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> any(0, count - 1);
    QVector<int> positions;
    for (int i = 0; i < size; ++i)
        positions.append(any(rng));
    return positions;
}

bool startsWith(const QVariant& value, QLatin1String prefix) {
    return value.toString().startsWith(prefix, Qt::CaseInsensitive);
}

// --- refresh and moves -------------------------------------------------------------------------

void BM_Refresh(benchmark::State& state) {
    guarded(state, [&] {
        DataSource data;
        data.setDatabaseName(bookPath(state.range(0)));
        data.setRecordSource(sortedSource);
        const StatementCount statements;
        // The refresh, then the last row's name: a refresh that shows its first row before
        // the rest of the row ids are read pays for them here.
        for (auto _ : state) {
            data.refresh();
            benchmark::DoNotOptimize(data.valueAt(data.rowCount() - 1, QStringLiteral("name")));
        }
        state.counters["rows"] = data.recordCount();
        state.counters["stmts"] =
            benchmark::Counter(statements.since(), benchmark::Counter::kAvgIterations);
        state.SetLabel(bookLabel(state.range(0)));
    });
}

// One iteration walks the whole book, first row to last (or back); the counters give the time
// and the statements of one move.
void walk(benchmark::State& state, bool forward) {
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(0)));
        const int count = data->recordCount();
        double seconds = 0;
        double moves = 0;
        const StatementCount statements;
        for (auto _ : state) {
            forward ? data->moveFirst() : data->moveLast();
            const auto start = Clock::now();
            for (int i = 1; i < count; ++i)
                forward ? data->moveNext() : data->movePrevious();
            seconds += secondsSince(start);
            moves += count - 1;
            benchmark::DoNotOptimize(data->value(QStringLiteral("name")));
        }
        if (data->absolutePosition() != (forward ? count - 1 : 0)) {
            state.SkipWithError("the walk did not end on the last row");
            return;
        }
        state.counters["us_per_move"] = seconds * 1e6 / moves;
        state.counters["stmts_per_move"] =
            (statements.since() - double(state.iterations())) / moves;
        state.SetLabel(bookLabel(state.range(0)));
    });
}

void BM_MoveNext(benchmark::State& state) {
    walk(state, true);
}

void BM_MovePrevious(benchmark::State& state) {
    walk(state, false);
}

void BM_MoveToRandom(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(0)));
        const QVector<int> positions = randomPositions(data->recordCount(), 4096);
        int next = 0;
        const StatementCount statements;
        for (auto _ : state)
            data->moveTo(positions[next++ & 4095]);
        state.counters["stmts_per_move"] =
            benchmark::Counter(statements.since(), benchmark::Counter::kAvgIterations);
        state.SetLabel(bookLabel(state.range(0)));
    });
}

// A move onto a card with a photo, with the photo read and decoded as the card shows it.
void BM_PhotoCardMove(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(books.photos);
        const QVector<int> positions = randomPositions(data->recordCount(), 4096);
        int next = 0;
        double bytes = 0;
        for (auto _ : state) {
            data->moveTo(positions[next++ & 4095]);
            const QByteArray png = data->value(QStringLiteral("bitmap")).toByteArray();
            const QImage picture = QImage::fromData(png);
            if (picture.isNull()) {
                state.SkipWithError("a photo could not be decoded");
                break;
            }
            bytes += double(png.size());
            benchmark::DoNotOptimize(picture.constBits());
        }
        state.counters["photo_bytes"] =
            benchmark::Counter(bytes, benchmark::Counter::kAvgIterations);
    });
}

// The decoding alone, so the move's share of the figure above can be told apart.
void BM_PhotoDecodeOnly(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(books.photos);
        const QByteArray png = data->value(QStringLiteral("bitmap")).toByteArray();
        for (auto _ : state) {
            const QImage picture = QImage::fromData(png);
            benchmark::DoNotOptimize(picture.constBits());
        }
        state.counters["photo_bytes"] = double(png.size());
    });
}

// --- finding -----------------------------------------------------------------------------------

// A find from the first row, as the letter index and the search dialog start it. The found row
// is checked to be the first that matches in the book's order.
void findFromFirst(benchmark::State& state, const QString& criterion, const QString& field,
                   QLatin1String prefix, std::int64_t photos) {
    guarded(state, [&] {
        auto data = openBook(bookPath(photos));
        const StatementCount statements;
        for (auto _ : state) {
            data->moveFirst();
            data->findFirst(criterion);
        }
        const double perFind = statements.since() / double(state.iterations());
        const int at = data->absolutePosition();
        if (data->noMatch() || !startsWith(data->value(field), prefix) ||
            (at > 0 && startsWith(data->valueAt(at - 1, field), prefix))) {
            state.SkipWithError("the find did not land on the first match");
            return;
        }
        state.counters["found_at"] = at;
        state.counters["stmts"] = perFind;
        state.SetLabel(bookLabel(photos));
    });
}

void BM_FindFirstLetter(benchmark::State& state) {
    const char letter = char(state.range(0));
    const std::string prefix(1, letter);
    findFromFirst(state, QStringLiteral("[name]Like'%1*'").arg(QLatin1Char(letter)),
                  QStringLiteral("name"), QLatin1String(prefix.c_str()), state.range(1));
}

void BM_FindFirstFirstName(benchmark::State& state) {
    findFromFirst(state, QStringLiteral("[namef] Like 'Ann*'"), QStringLiteral("namef"),
                  QLatin1String("Ann"), state.range(0));
}

// A field no index covers: the search reads the table itself.
void BM_FindFirstCity(benchmark::State& state) {
    findFromFirst(state, QStringLiteral("[city] Like 'Port*'"), QStringLiteral("city"),
                  QLatin1String("Port"), state.range(0));
}

// The first find after a refresh, which also builds the map from row id to position.
void BM_FindFirstLetterAfterRefresh(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(0)));
        for (auto _ : state) {
            data->refresh();
            // Every row id read, as they are by the time a user clicks.
            benchmark::DoNotOptimize(data->valueAt(data->rowCount() - 1, QStringLiteral("name")));
            const auto start = Clock::now();
            data->findFirst(QStringLiteral("[name]Like'M*'"));
            state.SetIterationTime(secondsSince(start));
        }
        state.SetLabel(bookLabel(state.range(0)));
    });
}

// --- views and the grid ------------------------------------------------------------------------

void BM_ViewSwitch(benchmark::State& state) {
    const QString& source = state.range(0) == 0   ? personalSource
                            : state.range(0) == 1 ? businessSource
                                                  : sortedSource;
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(1)));
        for (auto _ : state) {
            data->setRecordSource(source);
            data->refresh();
            benchmark::DoNotOptimize(data->valueAt(data->rowCount() - 1, QStringLiteral("name")));
        }
        state.counters["rows"] = data->recordCount();
        state.SetLabel(std::string(state.range(0) == 0   ? "personal"
                                   : state.range(0) == 1 ? "business"
                                                         : "all") +
                       ", " + bookLabel(state.range(1)));
    });
}

// The grid scrolled from top to bottom: three columns of every row.
void BM_GridScroll(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(0)));
        const int count = data->rowCount();
        const QString name = QStringLiteral("name");
        const QString firstName = QStringLiteral("namef");
        const QString phone = QStringLiteral("phone");
        const StatementCount statements;
        // Every generated contact has a last name and a home phone.
        qint64 filled = 0;
        for (auto _ : state) {
            for (int row = 0; row < count; ++row) {
                filled += data->valueAt(row, name).isValid();
                benchmark::DoNotOptimize(data->valueAt(row, firstName));
                filled += data->valueAt(row, phone).isValid();
            }
        }
        const double passes = double(state.iterations());
        if (filled != qint64(passes) * count * 2) {
            state.SkipWithError("some rows came back without a name or phone");
            return;
        }
        state.counters["rows"] = count;
        state.counters["stmts_per_pass"] = statements.since() / passes;
        state.counters["rows_per_stmt"] = passes * count / std::max(1.0, statements.since());
        state.SetLabel(bookLabel(state.range(0)));
    });
}

// One screen of the grid (30 rows, every column) after a jump to a random place.
void BM_GridScreenJump(benchmark::State& state) {
    guarded(state, [&] {
        auto data = openBook(bookPath(state.range(0)));
        const int count = data->rowCount();
        const QVector<int> tops = randomPositions(count - 30, 4096);
        int next = 0;
        const StatementCount statements;
        for (auto _ : state) {
            const int top = tops[next++ & 4095];
            for (int row = top; row < top + 30; ++row) {
                for (const QString& field : gridFields())
                    benchmark::DoNotOptimize(data->valueAt(row, field));
            }
        }
        state.counters["stmts_per_screen"] =
            benchmark::Counter(statements.since(), benchmark::Counter::kAvgIterations);
        state.SetLabel(bookLabel(state.range(0)));
    });
}

// --- memory ------------------------------------------------------------------------------------

long statusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(wanted))
            return line.mid(wanted.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Runs in a child process of its own, so what earlier benchmarks left on the heap does not
// count: prints the resident size with the empty book open, then with the large book open
// and refreshed, after a walk over every row, after a grid pass, and after a find.
int memoryProbe(const QString& emptyBook, const QString& book) {
    try {
        long empty = 0;
        {
            auto data = openBook(emptyBook);
            empty = statusKb("VmRSS");
        }
        auto data = openBook(book);
        const long refreshed = statusKb("VmRSS");
        const long peak = statusKb("VmHWM");
        for (int i = 1; i < data->recordCount(); ++i)
            data->moveNext();
        const long walked = statusKb("VmRSS");
        for (int row = 0; row < data->rowCount(); ++row) {
            for (const QString& field : gridFields())
                benchmark::DoNotOptimize(data->valueAt(row, field));
        }
        const long scrolled = statusKb("VmRSS");
        data->findFirst(QStringLiteral("[name]Like'M*'"));
        const long found = statusKb("VmRSS");
        std::printf("%ld %ld %ld %ld %ld %ld\n", empty, refreshed, peak, walked, scrolled, found);
        return 0;
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
}

void BM_MemoryRss(benchmark::State& state) {
    for (auto _ : state) {
        QProcess probe;
        probe.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--memory-probe"), books.empty, bookPath(state.range(0))});
        if (!probe.waitForFinished(-1) || probe.exitCode() != 0) {
            state.SkipWithError(probe.readAllStandardError().constData());
            return;
        }
        const QList<QByteArray> kb = probe.readAllStandardOutput().trimmed().split(' ');
        if (kb.size() != 6) {
            state.SkipWithError("the memory probe printed nothing usable");
            return;
        }
        const double empty = kb[0].toDouble();
        const auto mb = [](double kilobytes) { return kilobytes / 1024.0; };
        state.counters["empty_MB"] = mb(empty);
        state.counters["refresh_MB"] = mb(kb[1].toDouble() - empty);
        state.counters["peak_MB"] = mb(kb[2].toDouble() - empty);
        state.counters["walk_MB"] = mb(kb[3].toDouble() - empty);
        state.counters["grid_MB"] = mb(kb[4].toDouble() - empty);
        state.counters["find_MB"] = mb(kb[5].toDouble() - empty);
    }
    state.SetLabel(std::string("RSS above the empty book, ") + bookLabel(state.range(0)));
}

// --- compaction --------------------------------------------------------------------------------

QString compactDestination() {
    return QDir(books.folder).filePath(QStringLiteral("compacted.mdb"));
}

void removeDestination() {
    QFile::remove(compactDestination());
    QFile::remove(compactDestination() + QStringLiteral("-journal"));
}

double fileMb(const QString& path) {
    return double(QFileInfo(path).size()) / 1e6;
}

void BM_CompactDatabase(benchmark::State& state) {
    guarded(state, [&] {
        for (auto _ : state) {
            removeDestination();
            const auto start = Clock::now();
            quillory::engine::CompactDatabase(books.photos, compactDestination());
            state.SetIterationTime(secondsSince(start));
        }
        state.counters["source_MB"] = fileMb(books.photos);
        state.counters["result_MB"] = fileMb(compactDestination());
        removeDestination();
        state.SetLabel("photo book, synced to disk");
    });
}

// The same copy made by the sqlite3 tool, a process of its own. Its VACUUM INTO syncs what it
// wrote as the engine's does; fsync_ms, a second sync afterwards, shows nothing was left over.
void BM_SqliteCliVacuumInto(benchmark::State& state) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (tool.isEmpty()) {
        state.SkipWithError("the sqlite3 tool is not installed (apt-get install sqlite3)");
        return;
    }
    double syncSeconds = 0;
    for (auto _ : state) {
        removeDestination();
        QString target = compactDestination();
        target.replace(QLatin1String("'"), QLatin1String("''"));
        QProcess cli;
        const auto start = Clock::now();
        cli.start(tool, {books.photos, QStringLiteral("VACUUM INTO '%1'").arg(target)});
        const bool finished = cli.waitForFinished(-1);
        state.SetIterationTime(secondsSince(start));
        if (!finished || cli.exitCode() != 0) {
            state.SkipWithError(cli.readAllStandardError().constData());
            return;
        }
        const auto syncStart = Clock::now();
        const int fd = ::open(QFile::encodeName(compactDestination()).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        syncSeconds += secondsSince(syncStart);
    }
    state.counters["fsync_ms"] = syncSeconds * 1e3 / double(state.iterations());
    state.counters["result_MB"] = fileMb(compactDestination());
    removeDestination();
    state.SetLabel("photo book, sqlite3 tool");
}

// The exit back-up's copy (`BackUpDatabase`, synced) and the sqlite3 tool's VACUUM INTO of the
// same photo book, in turn within each iteration, so that both meet the page cache alike; the
// iteration time is the copy's, the counters give both and their ratio over all iterations.
void BM_BackUpAgainstVacuumInto(benchmark::State& state) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (tool.isEmpty()) {
        state.SkipWithError("the sqlite3 tool is not installed (apt-get install sqlite3)");
        return;
    }
    guarded(state, [&] {
        double copySeconds = 0;
        double vacuumSeconds = 0;
        for (auto _ : state) {
            removeDestination();
            auto start = Clock::now();
            quillory::engine::BackUpDatabase(books.photos, compactDestination());
            const double copy = secondsSince(start);
            copySeconds += copy;
            state.SetIterationTime(copy);
            removeDestination();
            QString target = compactDestination();
            target.replace(QLatin1String("'"), QLatin1String("''"));
            QProcess cli;
            start = Clock::now();
            cli.start(tool, {books.photos, QStringLiteral("VACUUM INTO '%1'").arg(target)});
            if (!cli.waitForFinished(-1) || cli.exitCode() != 0) {
                state.SkipWithError(cli.readAllStandardError().constData());
                return;
            }
            vacuumSeconds += secondsSince(start);
        }
        removeDestination();
        const double n = double(state.iterations());
        state.counters["copy_ms"] = copySeconds * 1e3 / n;
        state.counters["vacuum_into_ms"] = vacuumSeconds * 1e3 / n;
        state.counters["ratio"] = vacuumSeconds > 0 ? copySeconds / vacuumSeconds : 0;
        state.SetLabel("photo book");
    });
}

} // namespace

BENCHMARK(BM_Refresh)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MoveNext)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MovePrevious)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MoveToRandom)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_PhotoCardMove)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PhotoDecodeOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FindFirstLetter)
    ->ArgNames({"letter", "photos"})
    ->Args({'A', 0})
    ->Args({'M', 0})
    ->Args({'Z', 0})
    ->Args({'M', 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FindFirstLetterAfterRefresh)
    ->ArgName("photos")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_FindFirstFirstName)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FindFirstCity)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ViewSwitch)
    ->ArgNames({"view", "photos"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GridScroll)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GridScreenJump)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_MemoryRss)
    ->ArgName("photos")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CompactDatabase)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SqliteCliVacuumInto)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_BackUpAgainstVacuumInto)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

int main(int argc, char** argv) {
    connectionSql = qgetenv("QUILLORY_BENCH_CONNECTION_SQL");
    // Counts the statements of every connection opened from here on.
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&traceConnection));
    if (argc == 4 && qstrcmp(argv[1], "--memory-probe") == 0) {
        QCoreApplication application(argc, argv);
        return memoryProbe(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }

    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    if (!prepareBooks())
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
