#pragma once

#include "platform/ui/MessageBox.h"

#include <functional>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class QDialog;
struct sqlite3;

namespace quillory::test {

// A throw-away program folder for one test: the book, the settings and the back-ups live here.
class TempProgramFolder {
public:
    TempProgramFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const; // name with or without a leading backslash
    bool exists(const QString& name) const;
    void write(const QString& name, const QByteArray& contents) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Answers the program's message boxes during a test and records each one asked.
class ScriptedMessageBoxes {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    // Answers given in order; when they run out, each box gets its default button.
    void answer(ui::Answer answer) { m_answers.append(answer); }
    const QList<ui::MessageRequest>& asked() const { return m_asked; }
    QStringList texts() const;
    void clear() { m_asked.clear(); }

private:
    QList<ui::Answer> m_answers;
    QList<ui::MessageRequest> m_asked;
};

// The error number `call` fails with (the PlatformError it throws); 0 when it does not fail.
int errorOf(const std::function<void()>& call);

// The first box asked was a question: `text` with Yes and No, No the default, and `caption`.
void verifyQuestion(const ScriptedMessageBoxes& boxes, const QString& text, const QString& caption);

// Acts on each modal dialog instead of blocking in exec(); restores exec() when destroyed.
class ModalScript {
public:
    explicit ModalScript(std::function<void(QDialog&)> action);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    int shown() const { return m_shown; }

private:
    int m_shown = 0;
};

// Another program holding the write lock of the database file `path` (begun at once), so the
// program's own writes to it fail until release() or the end of the lock's life.
class BookWriteLock {
public:
    explicit BookWriteLock(const QString& path);
    ~BookWriteLock() { release(); }
    BookWriteLock(const BookWriteLock&) = delete;
    BookWriteLock& operator=(const BookWriteLock&) = delete;
    void release();

private:
    sqlite3* m_db = nullptr;
};

// A size-limited tmpfs mounted on the folder `path` until destroyed: a disk that fills up.
class SmallTmpfs {
public:
    SmallTmpfs(const QString& path, const QByteArray& size);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    // False where it cannot be mounted here (the tests do not run as root).
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

} // namespace quillory::test
