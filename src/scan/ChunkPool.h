#pragma once
#include "platform/LargeBlocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// An append-only store of runs of T (trivially copyable) in large blocks:
// nothing is copied or moved when it grows, so a million rows of text fill
// at memory speed. A handle is the block number in the upper 32 bits and
// the offset below.
template <typename T>
class ChunkPool {
public:
    static constexpr size_t BlockSize = LargeBlocks::Alignment / sizeof(T);

    ChunkPool() = default;
    // A pool of smaller blocks from the ordinary heap (blockBytes below the
    // large blocks' size), for a store that is made often and handed on: its
    // memory is reused from one run to the next instead of being mapped and
    // cleared afresh.
    explicit ChunkPool(size_t blockBytes) : blockSize_(std::max<size_t>(blockBytes / sizeof(T), 1)) {}

    uint64_t append(const T *data, size_t n)
    {
        uint64_t handle;
        T *to = allocate(n, handle);
        if (n > 0)
            std::memcpy(static_cast<void *>(to), data, n * sizeof(T));
        return handle;
    }
    // Room for a run of n, written by the caller; handle is the run's.
    T *allocate(size_t n, uint64_t &handle)
    {
        if (blocks_.empty() || used_ + n > capacity_) {
            capacity_ = n > blockSize_ ? n : blockSize_;
            const size_t bytes = capacity_ * sizeof(T);
            blocks_.emplace_back(static_cast<T *>(blockSize_ == BlockSize ? LargeBlocks::allocate(bytes)
                                                                          : LargeBlocks::allocatePlain(bytes)));
            used_ = 0;
        }
        handle = (uint64_t(blocks_.size() - 1) << 32) | used_;
        T *to = blocks_.back().get() + used_;
        used_ += n;
        return to;
    }
    // Gives back the last n units of the run allocated last (written shorter
    // than its room).
    void unuse(size_t n) { used_ -= n; }
    const T *at(uint64_t handle) const { return blocks_[size_t(handle >> 32)].get() + uint32_t(handle); }
    // Takes over other's blocks, after this pool's own (other is left
    // empty): a handle other gave is this pool's handle plus the value
    // returned. Later runs go on in other's last block.
    uint64_t adopt(ChunkPool &&other)
    {
        const uint64_t shift = uint64_t(blocks_.size()) << 32;
        if (other.blocks_.empty())
            return shift;
        for (auto &b : other.blocks_)
            blocks_.push_back(std::move(b));
        used_ = other.used_;
        capacity_ = other.capacity_;
        other.clear();
        return shift;
    }
    void clear()
    {
        blocks_.clear();
        used_ = capacity_ = 0;
    }

private:
    struct Release {
        void operator()(T *p) const { LargeBlocks::release(p); }
    };
    std::vector<std::unique_ptr<T, Release>> blocks_;
    size_t blockSize_ = BlockSize;
    size_t used_ = 0;
    size_t capacity_ = 0;
};
