#include "TestSupport.h"

#include "platform/files/PlatformError.h"
#include "platform/ui/Modal.h"

#include <QDialog>
#include <QFile>
#include <QTest>
#include <sqlite3.h>
#include <sys/mount.h>

namespace quillory::test {

namespace {
QString bareName(QString name) {
    while (name.startsWith(QLatin1Char('\\')) || name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name;
}

ui::Answer defaultAnswer(const ui::MessageRequest& request) {
    using ui::Answer;
    switch (request.buttons) {
    case ui::Buttons::Ok:
        return Answer::Ok;
    case ui::Buttons::OkCancel:
        return request.defaultButton == 1 ? Answer::Cancel : Answer::Ok;
    case ui::Buttons::YesNo:
        return request.defaultButton == 1 ? Answer::No : Answer::Yes;
    case ui::Buttons::YesNoCancel:
        return request.defaultButton == 2   ? Answer::Cancel
               : request.defaultButton == 1 ? Answer::No
                                            : Answer::Yes;
    case ui::Buttons::RetryCancel:
        return request.defaultButton == 1 ? Answer::Cancel : Answer::Retry;
    }
    return Answer::Ok;
}
} // namespace

TempProgramFolder::TempProgramFolder() {
    m_dir.setAutoRemove(true);
}

QString TempProgramFolder::file(const QString& name) const {
    return m_dir.filePath(bareName(name));
}

bool TempProgramFolder::exists(const QString& name) const {
    return QFile::exists(file(name));
}

void TempProgramFolder::write(const QString& name, const QByteArray& contents) const {
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write test file");
    out.write(contents);
}

QByteArray TempProgramFolder::read(const QString& name) const {
    QFile in(file(name));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

ScriptedMessageBoxes::ScriptedMessageBoxes() {
    ui::MessageBoxService::setResponder([this](const ui::MessageRequest& request) {
        m_asked.append(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return defaultAnswer(request);
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    ui::MessageBoxService::setResponder({});
}

QStringList ScriptedMessageBoxes::texts() const {
    QStringList out;
    for (const auto& request : m_asked)
        out.append(request.text);
    return out;
}

int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const PlatformError& error) {
        return error.number();
    }
    return 0;
}

void verifyQuestion(const ScriptedMessageBoxes& boxes, const QString& text,
                    const QString& caption) {
    QVERIFY(!boxes.asked().isEmpty());
    const ui::MessageRequest& question = boxes.asked().first();
    QCOMPARE(question.text, text);
    QCOMPARE(question.buttons, ui::Buttons::YesNo);
    QCOMPARE(question.icon, ui::Icon::Question);
    QCOMPARE(question.defaultButton, 1);
    QCOMPARE(question.caption, caption);
}

ModalScript::ModalScript(std::function<void(QDialog&)> action) {
    ui::Modal::setHook([this, action = std::move(action)](QDialog& dialog) {
        ++m_shown;
        action(dialog);
    });
}

ModalScript::~ModalScript() {
    ui::Modal::setHook({});
}

BookWriteLock::BookWriteLock(const QString& path) {
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK ||
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot take the write lock of %s", qPrintable(path));
}

void BookWriteLock::release() {
    if (m_db == nullptr)
        return;
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
    m_db = nullptr;
}

SmallTmpfs::SmallTmpfs(const QString& path, const QByteArray& size)
    : m_path(QFile::encodeName(path)) {
    const QByteArray options = "size=" + size;
    m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, options.constData()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (m_mounted)
        ::umount2(m_path.constData(), MNT_DETACH);
}

} // namespace quillory::test
