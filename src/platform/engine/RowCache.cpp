#include "platform/engine/RowCache.h"

#include <algorithm>

namespace quillory::engine {

RowCache::RowCache(int blockSize, int maxBlocks)
    : m_blockSize(std::max(1, blockSize)), m_maxBlocks(std::max(1, maxBlocks)) {}

const QVariantList* RowCache::row(int position) {
    if (position < 0)
        return nullptr;
    auto it = m_blocks.find(blockOf(position));
    if (it == m_blocks.end())
        return nullptr;
    const int offset = position % m_blockSize;
    if (offset >= it->rows.size())
        return nullptr;
    it->lastUse = ++m_clock;
    return &it->rows[offset];
}

void RowCache::storeBlock(int block, QVector<QVariantList> rows) {
    if (!m_blocks.contains(block) && m_blocks.size() >= m_maxBlocks) {
        auto oldest = m_blocks.begin();
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        }
        m_blocks.erase(oldest);
    }
    m_blocks.insert(block, Block{std::move(rows), ++m_clock});
}

void RowCache::dropBlockOf(int position) {
    if (position >= 0)
        m_blocks.remove(blockOf(position));
}

void RowCache::clear() {
    m_blocks.clear();
}

} // namespace quillory::engine
