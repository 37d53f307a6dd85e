#include "imaging/ppm_reader.h"

#include "imaging/byte_cursor.h"
#include "imaging/checked_math.h"
#include "imaging/colour.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// Numbers larger than this are held at it: no picture is that large, and the sum
// cannot overflow while digits keep coming.
constexpr std::uint64_t kNumberCeiling = 1'000'000'000'000ull;
constexpr std::uint64_t kLargestMaxval = 65535;

bool IsSeparator(std::uint8_t c) {
    return c < '!';
}
// A number runs up to the next character of code 33 or below.
bool IsNumberCharacter(std::uint8_t c) {
    return c > '!';
}

// Skips a comment from its "#" to the end of its line. The line ends at CR, LF, or
// either pair of them, which is taken whole.
void SkipComment(ByteCursor& cursor) {
    while (!cursor.AtEnd()) {
        const std::uint8_t c = cursor.U8();
        if (c == '\r' || c == '\n') {
            const std::uint8_t partner = c == '\r' ? '\n' : '\r';
            if (!cursor.AtEnd() && cursor.Peek() == partner) {
                cursor.U8();
            }
            return;
        }
    }
}

void SkipSeparatorsAndComments(ByteCursor& cursor) {
    while (!cursor.AtEnd()) {
        const std::uint8_t c = cursor.Peek();
        if (IsSeparator(c)) {
            cursor.U8();
        } else if (c == '#') {
            SkipComment(cursor);
        } else {
            return;
        }
    }
}

// Reads one decimal number. A token that is empty or holds anything but digits is
// not a number.
std::optional<std::uint64_t> ReadNumber(ByteCursor& cursor) {
    std::uint64_t value = 0;
    bool any = false;
    while (!cursor.AtEnd() && IsNumberCharacter(cursor.Peek())) {
        const std::uint8_t c = cursor.U8();
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - '0'), kNumberCeiling);
        any = true;
    }
    return any ? std::optional<std::uint64_t>(value) : std::nullopt;
}

struct PpmHeader {
    bool binary = false;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t maxval = 0;
    std::size_t samplesStart = 0;
};

// Any run of blanks and comment lines may stand before each of width, height and
// maxval, so headers with several comment lines or indented numbers are read too.
std::optional<PpmHeader> ReadHeader(std::span<const std::uint8_t> file) {
    if (file.size() < 2 || file[0] != 'P' || (file[1] != '3' && file[1] != '6')) {
        return std::nullopt;
    }
    PpmHeader header;
    header.binary = file[1] == '6';
    ByteCursor cursor(file, 2);
    std::array<std::uint64_t, 3> values{};
    for (std::uint64_t& value : values) {
        SkipSeparatorsAndComments(cursor);
        const std::optional<std::uint64_t> number = ReadNumber(cursor);
        if (!number) {
            return std::nullopt;
        }
        value = *number;
    }
    header.width = values[0];
    header.height = values[1];
    header.maxval = values[2];
    if (header.maxval == 0 || header.maxval > kLargestMaxval) {
        return std::nullopt;
    }
    // The samples begin one character after the end of maxval.
    header.samplesStart = std::min(cursor.position + 1, file.size());
    return header;
}

// Scales samples from 0..maxval to 0..255 with the single-precision factor 255 / maxval;
// the product itself is formed exactly before rounding.
struct SampleScale {
    std::uint64_t maxval;
    float factor;

    explicit SampleScale(std::uint64_t largest)
        : maxval(largest), factor(255.0f / static_cast<float>(largest)) {}

    unsigned operator()(std::uint64_t sample) const {
        if (maxval == 255) {
            return static_cast<unsigned>(std::min<std::uint64_t>(sample, 255));
        }
        const double scaled = RoundHalfEven(static_cast<double>(sample) * static_cast<double>(factor));
        return scaled >= 255.0 ? 255u : static_cast<unsigned>(scaled);
    }
};

// Whether the samples could fill the picture: binary samples take one byte each (two
// above maxval 255), text samples at least two characters (a digit and a separator)
// except the last.
bool CanHoldSamples(std::span<const std::uint8_t> file, const PpmHeader& header) {
    const std::optional<std::size_t> pixels =
        CheckedMul(static_cast<std::size_t>(header.width), static_cast<std::size_t>(header.height));
    const std::optional<std::size_t> samples = pixels ? CheckedMul(*pixels, 3) : std::nullopt;
    const std::size_t sampleBytes = header.binary && header.maxval <= 255 ? 1 : 2;
    const std::optional<std::size_t> needed = samples ? CheckedMul(*samples, sampleBytes) : std::nullopt;
    const std::size_t available = file.size() - header.samplesStart;
    return needed && (header.binary || *needed == 0 ? *needed : *needed - 1) <= available;
}

// Fails at a sample that is missing or not a number.
bool DecodeText(std::span<const std::uint8_t> file, const PpmHeader& header, const SampleScale& scale,
                Picture& picture) {
    ByteCursor cursor(file, header.samplesStart);
    for (BufferWord& pixel : picture.pixels) {
        std::array<unsigned, 3> channels{};
        for (unsigned& channel : channels) {
            SkipSeparatorsAndComments(cursor);
            const std::optional<std::uint64_t> sample = ReadNumber(cursor);
            if (!sample) {
                return false;
            }
            cursor.Skip(cursor.AtEnd() ? 0 : 1); // the character that ended the number
            channel = scale(*sample);
        }
        pixel = BufferWordOf(channels[0], channels[1], channels[2]);
    }
    return true;
}

// Binary samples are one byte each, or two (most significant first) when maxval is
// above 255; the check has made sure that the file holds them all.
void DecodeBinary(std::span<const std::uint8_t> file, const PpmHeader& header, const SampleScale& scale,
                  Picture& picture) {
    ByteCursor cursor(file, header.samplesStart);
    const bool wide = header.maxval > 255;
    for (BufferWord& pixel : picture.pixels) {
        std::array<unsigned, 3> channels{};
        for (unsigned& channel : channels) {
            channel = scale(wide ? cursor.U16BE() : cursor.U8());
        }
        pixel = BufferWordOf(channels[0], channels[1], channels[2]);
    }
}

} // namespace

ReaderCheck CheckPpmPicture(std::span<const std::uint8_t> file) {
    const std::optional<PpmHeader> header = ReadHeader(file);
    if (!header) {
        return {};
    }
    ReaderCheck check{true, static_cast<std::int64_t>(header->width),
                      static_cast<std::int64_t>(header->height)};
    if (!CanHoldSamples(file, *header)) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> ReadPpmPicture(std::span<const std::uint8_t> file) {
    const std::optional<PpmHeader> header = ReadHeader(file);
    if (!header || !CanHoldSamples(file, *header)) {
        return std::nullopt;
    }
    std::optional<Picture> picture =
        AllocatePicture(static_cast<std::int64_t>(header->width), static_cast<std::int64_t>(header->height));
    if (!picture) {
        return std::nullopt;
    }
    const SampleScale scale(header->maxval);
    if (header->binary) {
        DecodeBinary(file, *header, scale, *picture);
    } else if (!DecodeText(file, *header, scale, *picture)) {
        return std::nullopt;
    }
    return picture;
}

PictureReader PpmPictureReader() {
    return PictureReader{
        "PPM",
        [](std::span<const std::uint8_t> file, std::string_view) { return CheckPpmPicture(file); },
        [](std::span<const std::uint8_t> file, std::string_view) { return ReadPpmPicture(file); },
    };
}
