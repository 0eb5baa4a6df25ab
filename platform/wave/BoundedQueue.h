// A fixed-capacity lock-free queue for many producers and one consumer (Vyukov's bounded queue).
// Nothing is allocated after construction, so the audio thread may push and pop.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace platform::wave {

template <class T>
class BoundedQueue {
public:
    // capacity must be a power of two.
    explicit BoundedQueue(size_t capacity) : mask_(capacity - 1), cells_(new Cell[capacity]) {
        for (size_t i = 0; i < capacity; ++i) {
            cells_[i].sequence.store(i, std::memory_order_relaxed);
        }
    }
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Any thread. False when full.
    bool TryPush(const T& value) {
        size_t pos = enqueue_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[pos & mask_];
            size_t seq = cell.sequence.load(std::memory_order_acquire);
            intptr_t diff = static_cast<intptr_t>(seq) - static_cast<intptr_t>(pos);
            if (diff == 0) {
                if (enqueue_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    cell.value = value;
                    cell.sequence.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;
            } else {
                pos = enqueue_.load(std::memory_order_relaxed);
            }
        }
    }

    // The one consumer. False when empty.
    bool TryPop(T* value) {
        size_t pos = dequeue_.load(std::memory_order_relaxed);
        Cell& cell = cells_[pos & mask_];
        size_t seq = cell.sequence.load(std::memory_order_acquire);
        if (static_cast<intptr_t>(seq) - static_cast<intptr_t>(pos + 1) < 0) {
            return false;
        }
        *value = cell.value;
        dequeue_.store(pos + 1, std::memory_order_relaxed);
        cell.sequence.store(pos + mask_ + 1, std::memory_order_release);
        return true;
    }

    // Any thread; a hint only (a push may be under way).
    bool LooksEmpty() const {
        size_t pos = dequeue_.load(std::memory_order_relaxed);
        size_t seq = cells_[pos & mask_].sequence.load(std::memory_order_acquire);
        return static_cast<intptr_t>(seq) - static_cast<intptr_t>(pos + 1) < 0;
    }

private:
    struct Cell {
        std::atomic<size_t> sequence;
        T value;
    };
    const size_t mask_;
    std::unique_ptr<Cell[]> cells_;
    alignas(64) std::atomic<size_t> enqueue_{0};
    alignas(64) std::atomic<size_t> dequeue_{0};
};

}  // namespace platform::wave
