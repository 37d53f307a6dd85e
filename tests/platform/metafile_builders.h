// Minimal metafiles written record by record: a red square filling the left half of a
// white 2:1 picture, so a test knows every pixel's colour without any reference file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace metafile_test {

inline void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFFu);
    Put16(out, value >> 16);
}

// One WMF record: its size in 16-bit words, its function and its parameter words.
inline void WmfRecord(std::vector<std::uint8_t>& out, std::uint16_t function,
                      std::initializer_list<std::uint16_t> words) {
    Put32(out, static_cast<std::uint32_t>(3 + words.size()));
    Put16(out, function);
    for (const std::uint16_t word : words) {
        Put16(out, word);
    }
}

// The red square over a 1000 x 500 window; `placeable` adds the placeable header with
// the given box and units per inch.
inline std::vector<std::uint8_t> RedSquareWmf(bool placeable, std::int16_t right = 1000,
                                              std::int16_t bottom = 500, std::uint16_t unitsPerInch = 1000) {
    std::vector<std::uint8_t> records;
    WmfRecord(records, 0x020B, {0, 0});          // SETWINDOWORG y, x
    WmfRecord(records, 0x020C, {500, 1000});     // SETWINDOWEXT y, x
    WmfRecord(records, 0x02FA, {5, 0, 0, 0, 0}); // CREATEPENINDIRECT: no pen
    WmfRecord(records, 0x012D, {0});             // SELECTOBJECT 0
    // libwmf fits what is drawn to the picture, so the white ground is drawn too.
    WmfRecord(records, 0x02FC, {0, 0xFFFF, 0x00FF, 0}); // CREATEBRUSHINDIRECT: solid white
    WmfRecord(records, 0x012D, {1});                    // SELECTOBJECT 1
    WmfRecord(records, 0x041B, {500, 1000, 0, 0});      // RECTANGLE bottom, right, top, left
    WmfRecord(records, 0x02FC, {0, 0x00FF, 0x0000, 0}); // CREATEBRUSHINDIRECT: solid red (0x000000FF)
    WmfRecord(records, 0x012D, {2});                    // SELECTOBJECT 2
    WmfRecord(records, 0x041B, {500, 500, 0, 0});
    WmfRecord(records, 0x0000, {}); // EOF

    std::vector<std::uint8_t> file;
    if (placeable) {
        std::vector<std::uint8_t> header;
        Put32(header, 0x9AC6CDD7u);
        Put16(header, 0);
        Put16(header, 0);
        Put16(header, 0);
        Put16(header, static_cast<std::uint16_t>(right));
        Put16(header, static_cast<std::uint16_t>(bottom));
        Put16(header, unitsPerInch);
        Put32(header, 0);
        std::uint16_t checksum = 0;
        for (std::size_t i = 0; i < header.size(); i += 2) {
            checksum ^= static_cast<std::uint16_t>(header[i] | (header[i + 1] << 8));
        }
        Put16(header, checksum);
        file = header;
    }
    const auto totalWords = static_cast<std::uint32_t>((18 + records.size()) / 2);
    Put16(file, 1); // on disk
    Put16(file, 9); // header words
    Put16(file, 0x0300);
    Put32(file, totalWords);
    Put16(file, 3); // objects
    Put32(file, 8); // largest record, in words
    Put16(file, 0);
    file.insert(file.end(), records.begin(), records.end());
    return file;
}

inline void EmfRecord(std::vector<std::uint8_t>& out, std::uint32_t type,
                      std::initializer_list<std::uint32_t> values) {
    Put32(out, type);
    Put32(out, static_cast<std::uint32_t>(8 + 4 * values.size()));
    for (const std::uint32_t value : values) {
        Put32(out, value);
    }
}

// The red square in an EMF whose frame is `frameRight` x `frameBottom` hundredths of a
// millimetre (2540 x 1270 is 96 x 48 pixels) and whose bounds are 100 x 50 pixels.
inline std::vector<std::uint8_t> RedSquareEmf(std::int32_t frameRight = 2540,
                                              std::int32_t frameBottom = 1270) {
    std::vector<std::uint8_t> records;
    EmfRecord(records, 39, {1, 0, 0x000000FFu, 0}); // CREATEBRUSHINDIRECT 1: solid red
    EmfRecord(records, 37, {1});                    // SELECTOBJECT 1
    EmfRecord(records, 37, {0x80000008u});          // SELECTOBJECT the stock null pen
    EmfRecord(records, 43, {0, 0, 50, 50});         // RECTANGLE
    EmfRecord(records, 14, {0, 16, 20});            // EOF

    std::vector<std::uint8_t> file;
    const auto total = static_cast<std::uint32_t>(88 + records.size());
    Put32(file, 1);
    Put32(file, 88);
    for (const std::uint32_t value : {0u, 0u, 100u, 50u}) { // bounds
        Put32(file, value);
    }
    for (const std::int32_t value : {0, 0, frameRight, frameBottom}) {
        Put32(file, static_cast<std::uint32_t>(value));
    }
    Put32(file, 0x464D4520u); // " EMF"
    Put32(file, 0x00010000u);
    Put32(file, total);
    Put32(file, 6); // records
    Put16(file, 2); // handles
    Put16(file, 0);
    Put32(file, 0); // description
    Put32(file, 0);
    Put32(file, 0);    // palette entries
    Put32(file, 1024); // reference device, pixels
    Put32(file, 768);
    Put32(file, 320); // and millimetres
    Put32(file, 240);
    file.insert(file.end(), records.begin(), records.end());
    return file;
}

// `count` rectangles, each a little further right and down, on a square frame of
// `frame` hundredths of a millimetre, whose bounds are the frame's size at 96 dots per inch.
inline std::vector<std::uint8_t> ManyRectanglesEmf(std::int32_t frame, std::uint32_t count) {
    std::vector<std::uint8_t> records;
    const auto side = static_cast<std::uint32_t>(static_cast<std::int64_t>(frame) * 96 / 2540);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t at = i % side;
        EmfRecord(records, 43, {at, at, at + side / 2, at + side / 2}); // RECTANGLE
    }
    EmfRecord(records, 14, {0, 16, 20}); // EOF
    std::vector<std::uint8_t> file;
    Put32(file, 1);
    Put32(file, 88);
    for (const std::uint32_t value : {0u, 0u, side, side}) {
        Put32(file, value);
    }
    for (const std::int32_t value : {0, 0, frame, frame}) {
        Put32(file, static_cast<std::uint32_t>(value));
    }
    Put32(file, 0x464D4520u);
    Put32(file, 0x00010000u);
    Put32(file, static_cast<std::uint32_t>(88 + records.size()));
    Put32(file, count + 2);
    for (const std::uint32_t value : {1u, 0u, 0u, 0u, 1024u, 768u, 320u, 240u}) {
        Put32(file, value);
    }
    file.insert(file.end(), records.begin(), records.end());
    return file;
}

} // namespace metafile_test
