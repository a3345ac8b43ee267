#pragma once

#include <QString>

namespace quillory::engine {

class Database;

// The book held in one write transaction (BEGIN IMMEDIATE), rolled back unless committed: an
// error thrown half-way leaves the book as it was. A book another program is writing throws
// EngineLocked, saying that `nothingDone` ("nothing was imported"); other failures throw the
// engine's own error.
class Transaction {
public:
    explicit Transaction(Database& db,
                         const QString& nothingDone = QStringLiteral("nothing was changed"));
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    void run(const char* sql);

    Database& m_db;
    QString m_nothingDone;
    bool m_open = false;
};

} // namespace quillory::engine
