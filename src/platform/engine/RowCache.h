#pragma once

#include <QHash>
#include <QVariantList>
#include <QVector>

namespace quillory::engine {

// Rows of a data source's result held in blocks of consecutive positions, so that the grid
// reads a screenful with one query. The number of blocks is bounded; the block used least
// recently goes first.
class RowCache {
public:
    explicit RowCache(int blockSize = 64, int maxBlocks = 64);

    int blockSize() const { return m_blockSize; }
    int blockOf(int position) const { return position / m_blockSize; }

    // The row at `position`, or nullptr when its block is not held. The pointer is good until
    // the next store or drop.
    const QVariantList* row(int position);
    void storeBlock(int block, QVector<QVariantList> rows);
    void dropBlockOf(int position);
    void clear();
    int blockCount() const { return int(m_blocks.size()); }

private:
    struct Block {
        QVector<QVariantList> rows;
        quint64 lastUse = 0;
    };
    QHash<int, Block> m_blocks;
    quint64 m_clock = 0;
    int m_blockSize;
    int m_maxBlocks;
};

} // namespace quillory::engine
