#pragma once

#include <QString>
#include <stdexcept>

namespace quillory {

// Error numbers by which the program chooses its messages. File-system numbers follow the
// classic runtime (52 to 76); the database engine's start at 3000.
namespace ErrorNumber {
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int BadFileMode = 54;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIO = 57;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int BadFileName = 64;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int DiskNotReady = 71;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;

constexpr int EngineFileNotFound = 3024;
constexpr int EngineDiskFull = 3026;
constexpr int EngineNotReadable = 3049; // damaged or not a database at all
constexpr int EngineLocked = 3051;
constexpr int EngineInvalidName = 3055;
constexpr int EngineSyntax = 3077;
constexpr int EngineAlreadyExists = 3204;
constexpr int EngineNoCurrentRecord = 3021;
constexpr int EngineWriteFailed = 3197; // the row could not be written back
} // namespace ErrorNumber

// The one exception that platform calls throw. It carries the number that message choices
// are made by, and a sentence for the user that says what went wrong.
class PlatformError : public std::runtime_error {
public:
    PlatformError(int number, const QString& description);

    int number() const noexcept { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

// Maps an errno value from a file call to the runtime's file-system number.
int fileErrorNumber(int err);

// A short sentence for an errno value, for messages.
QString systemErrorText(int err);

} // namespace quillory
