// A read position over a file held in memory. Reads past the end give 0 and clear
// `ok`, so a decoder can read a whole header first and test once whether it was there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct ByteCursor {
    std::span<const std::uint8_t> data;
    std::size_t position = 0;
    bool ok = true;

    explicit ByteCursor(std::span<const std::uint8_t> bytes, std::size_t start = 0)
        : data(bytes), position(start) {}

    std::size_t Size() const { return data.size(); }
    std::size_t Remaining() const { return position < data.size() ? data.size() - position : 0; }
    bool AtEnd() const { return position >= data.size(); }
    // True when the next `count` bytes are all inside the data.
    bool Has(std::size_t count) const { return count <= Remaining(); }

    std::uint8_t U8() {
        if (position >= data.size()) {
            ok = false;
            return 0;
        }
        return data[position++];
    }
    // Looks at the next byte without moving; 0 at the end (without clearing `ok`).
    std::uint8_t Peek() const { return position < data.size() ? data[position] : 0; }

    std::uint16_t U16BE() {
        const unsigned high = U8();
        return static_cast<std::uint16_t>((high << 8) | U8());
    }
    std::uint16_t U16LE() {
        const unsigned low = U8();
        return static_cast<std::uint16_t>(low | (static_cast<unsigned>(U8()) << 8));
    }
    std::uint32_t U32BE() {
        const std::uint32_t high = U16BE();
        return (high << 16) | U16BE();
    }
    std::uint32_t U32LE() {
        const std::uint32_t low = U16LE();
        return low | (std::uint32_t{U16LE()} << 16);
    }

    // Moves forward by `count` bytes; moving past the end leaves the cursor at the end
    // with `ok` cleared.
    void Skip(std::size_t count) {
        if (count > Remaining()) {
            position = data.size();
            ok = false;
            return;
        }
        position += count;
    }
    // The next `count` bytes, or fewer when the data end first; moves past them.
    std::span<const std::uint8_t> Take(std::size_t count) {
        const std::size_t available = count < Remaining() ? count : Remaining();
        const auto taken = data.subspan(position < data.size() ? position : data.size(), available);
        position += available;
        if (available < count) {
            ok = false;
        }
        return taken;
    }
};
