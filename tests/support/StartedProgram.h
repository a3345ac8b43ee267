#pragma once

// The program started for the tests that work through its main window. Kept apart from
// TestSupport.h because it links every part of the program, which the platform tests do without.

#include "TestSupport.h"

#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QVariantMap>

namespace quillory {
class AppContext;
class frmMain;
} // namespace quillory

namespace quillory::test {

// What the program folder holds when the program starts, and what is done to the main window.
struct ProgramSetup {
    // The contacts of the book "Corvanel.MDB", written in this order. Left out, no book is
    // written and the program creates an empty one; an empty list writes a book without contacts.
    std::optional<QList<QVariantMap>> contacts = {};
    // Lines of the "[User Prefs]" section of "Corvanel.hig"; left empty, no settings file.
    QByteArray settings = {};
    // The answers to the message boxes, in order, from the first the start-up asks.
    QList<ui::Answer> answers = {};
    // Runs on the main window right after it is created, after the program's own setups and
    // before it loads.
    std::function<void(AppContext&, frmMain&)> onMainWindowCreated = {};
};

// Writes the "[User Prefs]" section `lines` as the whole settings file of `folder`.
void writeSettings(const TempProgramFolder& folder, const QByteArray& lines);

// The program started on a program folder: every command registered, the main window created
// and loaded, and every message box answered by `boxes`.
class StartedProgram {
public:
    // On a throw-away folder of its own, prepared as `setup` says.
    explicit StartedProgram(const ProgramSetup& setup = {});
    // On the test's folder (which the test prepared, and keeps until after this is gone), with
    // `setup` written into it first.
    explicit StartedProgram(const TempProgramFolder& testFolder, const ProgramSetup& setup = {});
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

private:
    StartedProgram(std::unique_ptr<TempProgramFolder> ownFolder,
                   const TempProgramFolder* testFolder, const ProgramSetup& setup);

    std::unique_ptr<TempProgramFolder> m_ownFolder;

public:
    const TempProgramFolder& folder;
    // Made before the program starts, so that start-up's own messages are recorded too.
    ScriptedMessageBoxes boxes;
    std::unique_ptr<AppContext> context;
    frmMain* main = nullptr;
};

} // namespace quillory::test
