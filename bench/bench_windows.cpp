// Benchmarks of what a user waits for in the windows, on a large book with photos: opening the
// search dialog, a find, a letter jump, a view switch and a move onto a card with a photo.
// The book comes from bench_engine's cache ($QUILLORY_BENCH_DIR, generated when missing).

#include "app/Registration.h"
#include "BookGenerator.h"
#include "core/AppContext.h"
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
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace quillory;

namespace {

struct Window {
    QTemporaryDir home;
    std::unique_ptr<AppContext> context;
    frmMain* main = nullptr;
};

Window* window = nullptr;

bool openWindow() {
    const QString folder =
        qEnvironmentVariable("QUILLORY_BENCH_DIR", QStringLiteral("/tmp/quillory-bench"));
    QDir().mkpath(folder);
    const QString source = QDir(folder).filePath(QStringLiteral("book-100000-photos.mdb"));
    if (!QFile::exists(source)) {
        std::fprintf(stderr, "Generating %s ...\n", qPrintable(source));
        bench::BookPlan plan;
        plan.contacts = 100000;
        plan.photos = true;
        bench::generateBook(source, plan);
    }
    window = new Window;
    QFile::copy(source, window->home.filePath(QStringLiteral("Corvanel.MDB")));
    QFile settings(window->home.filePath(QStringLiteral("Corvanel.hig")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[User Prefs]\nTIP=0\n");
    settings.close();
    window->context = std::make_unique<AppContext>(ProgramFolder(window->home.path()));
    registerAllCommands(*window->context);
    window->main = &window->context->mainWindow();
    window->main->show();
    QApplication::processEvents();
    return window->main->Data1->rowCount() == 100000;
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
        if (window->main->Data1->absolutePosition() > 99990)
            window->main->Data1->moveFirst();
    }
}
BENCHMARK(BM_MoveToCardWithPhoto)->Unit(benchmark::kMicrosecond);

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
