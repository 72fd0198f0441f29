// What the card sent and nobody has read yet, in a fixed amount of memory:
// when full, the oldest bytes make room for the newest, since the tool never
// reads and the newest output is what a reader would want.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace portlink {

class ByteQueue {
public:
    explicit ByteQueue(std::size_t capacity) : ring_(capacity) {}

    void Push(std::span<const std::uint8_t> bytes)
    {
        if (bytes.size() >= ring_.size()) {
            bytes = bytes.last(ring_.size());
            head_ = 0;
            size_ = 0;
        }
        for (const auto b : bytes) {
            if (size_ == ring_.size()) { // drop the oldest
                head_ = (head_ + 1) % ring_.size();
                --size_;
            }
            ring_[(head_ + size_) % ring_.size()] = b;
            ++size_;
        }
    }

    [[nodiscard]] std::optional<std::uint8_t> Pop()
    {
        if (size_ == 0)
            return std::nullopt;
        const auto b = ring_[head_];
        head_ = (head_ + 1) % ring_.size();
        --size_;
        return b;
    }

    void Clear() { head_ = size_ = 0; }
    [[nodiscard]] bool Empty() const { return size_ == 0; }

private:
    std::vector<std::uint8_t> ring_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

} // namespace portlink
