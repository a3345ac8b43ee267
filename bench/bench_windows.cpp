// Benchmarks of what a user waits for in the windows, on a large book with photos: opening the
// search dialog, a find, a letter jump, the first find after a view switch, a view switch, a
// move onto a card with a photo, and the back-up on exit.
// The book comes from bench_engine's cache ($QUILLORY_BENCH_DIR, generated when missing), with
// $QUILLORY_BENCH_CONTACTS contacts (default 100000); it is linked into the program folder,
// not copied, and no benchmark writes it.

#include "app/Registration.h"
#include "BookGenerator.h"
#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "platform/engine/DataSource.h"
#include "search/frmsrch.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <unistd.h>

using namespace quillory;

namespace {

struct Window {
    QTemporaryDir home;
    std::unique_ptr<AppContext> context;
    frmMain* main = nullptr;
};

Window* window = nullptr;

int contacts = 100000;

bool openWindow() {
    const QString folder =
        qEnvironmentVariable("QUILLORY_BENCH_DIR", QStringLiteral("/tmp/quillory-bench"));
    bool ok = false;
    const int wanted = qEnvironmentVariable("QUILLORY_BENCH_CONTACTS").toInt(&ok);
    if (ok && wanted > 0)
        contacts = wanted;
    QDir().mkpath(folder);
    const QString source =
        QDir(folder).filePath(QStringLiteral("book-%1-photos.mdb").arg(contacts));
    if (!QFile::exists(source)) {
        std::fprintf(stderr, "Generating %s ...\n", qPrintable(source));
        bench::BookPlan plan;
        plan.contacts = contacts;
        plan.photos = true;
        bench::generateBook(source, plan);
    }
    window = new Window;
    const QString book = window->home.filePath(QStringLiteral("Corvanel.MDB"));
    // A second name of the same file: nothing here writes the book, and the largest books would
    // take long to copy.
    if (::link(QFile::encodeName(source).constData(), QFile::encodeName(book).constData()) != 0)
        QFile::copy(source, book);
    QFile settings(window->home.filePath(QStringLiteral("Corvanel.hig")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[User Prefs]\nTIP=0\n");
    settings.close();
    window->context = std::make_unique<AppContext>(ProgramFolder(window->home.path()));
    registerAllCommands(*window->context);
    window->main = &window->context->mainWindow();
    window->main->show();
    QApplication::processEvents();
    return window->main->Data1->rowCount() == contacts;
}

void BM_SearchDialogOpens(benchmark::State& state) {
    for (auto _ : state) {
        frmsrch dialog(*window->context, window->main);
        dialog.Form_Load();
        dialog.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.DBGrid1);
    }
}
BENCHMARK(BM_SearchDialogOpens)->Unit(benchmark::kMillisecond);

void BM_SearchFindLike(benchmark::State& state) {
    frmsrch dialog(*window->context, window->main);
    dialog.Form_Load();
    dialog.opt[0]->setChecked(true);
    dialog.Text1->setText(QStringLiteral("Smi"));
    for (auto _ : state) {
        window->main->Data1->moveLast();
        dialog.Command1_Click();
        dialog.Command4_Click();
    }
}
BENCHMARK(BM_SearchFindLike)->Unit(benchmark::kMillisecond);

void BM_LetterJump(benchmark::State& state) {
    window->context->commands().run(QStringLiteral("all"), CommandOrigin::Menu);
    int letter = 0;
    for (auto _ : state) {
        window->main->Command2[size_t(letter)]->click();
        letter = (letter + 7) % 26;
    }
}
BENCHMARK(BM_LetterJump)->Unit(benchmark::kMillisecond);

// The letter jump right after a view switch, which read the view's rows anew (not timed). A
// whole-table view shows its first card before its row ids are all read; a click in the
// moment before they are waits for them, which BM_ViewSwitch's figure bounds.
void BM_FirstFindAfterViewSwitch(benchmark::State& state) {
    bool personal = false;
    int letter = 12;
    for (auto _ : state) {
        state.PauseTiming();
        personal = !personal;
        window->context->commands().run(personal ? QStringLiteral("pers") : QStringLiteral("all"),
                                        CommandOrigin::Menu);
        // Every row id of the view read, as they are by the time a user clicks.
        engine::DataSource& data = *window->main->Data1;
        benchmark::DoNotOptimize(data.valueAt(data.rowCount() - 1, QStringLiteral("name")));
        state.ResumeTiming();
        window->main->Command2[size_t(letter)]->click();
        letter = (letter + 7) % 26;
    }
    window->context->commands().run(QStringLiteral("all"), CommandOrigin::Menu);
}
BENCHMARK(BM_FirstFindAfterViewSwitch)->Unit(benchmark::kMillisecond);

void BM_ViewSwitch(benchmark::State& state) {
    bool personal = false;
    for (auto _ : state) {
        personal = !personal;
        window->context->commands().run(personal ? QStringLiteral("pers") : QStringLiteral("all"),
                                        CommandOrigin::Menu);
    }
}
BENCHMARK(BM_ViewSwitch)->Unit(benchmark::kMillisecond);

void BM_MoveToCardWithPhoto(benchmark::State& state) {
    window->context->commands().run(QStringLiteral("all"), CommandOrigin::Menu);
    for (auto _ : state) {
        window->context->commands().run(QStringLiteral("down"), CommandOrigin::Menu);
        if (window->main->Data1->absolutePosition() > contacts - 10)
            window->main->Data1->moveFirst();
    }
}
BENCHMARK(BM_MoveToCardWithPhoto)->Unit(benchmark::kMicrosecond);

// The back-up the program makes on exit, first with no back-up there (the book has changed
// since the last one, as far as anyone can tell), then with the one just made still there and
// the book unchanged. One iteration each: the first writes a copy as large as the book.
void BM_ExitBackup(benchmark::State& state) {
    const bool unchanged = state.range(0) == 1;
    const QString backup = window->context->folder().file(contact::file::Backup);
    for (auto _ : state) {
        state.PauseTiming();
        if (!unchanged)
            QFile::remove(backup);
        state.ResumeTiming();
        const std::optional<QString> failure =
            bookfiles::AutoBackupOnExit(*window->main->Data1, window->context->folder());
        if (failure) {
            state.SkipWithError(qPrintable(*failure));
            break;
        }
    }
    state.counters["backup_MB"] = double(QFileInfo(backup).size()) / 1e6;
    if (unchanged)
        QFile::remove(backup);
}
BENCHMARK(BM_ExitBackup)
    ->ArgName("unchanged")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!openWindow()) {
        std::fprintf(stderr, "bench_windows: the large book did not open\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    return 0;
}
