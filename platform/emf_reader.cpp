#include "imaging/colour.h"
#include "platform/metafile_reader.h"
#include "platform/metafile_sandbox.h"
#include "platform/quiet_output.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRgb>
#include <QSvgRenderer>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emf2svg.h>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kHeaderRecord = 1;
constexpr std::uint32_t kEndOfFileRecord = 14;
constexpr std::uint32_t kSignature = 0x464D4520u; // " EMF"
constexpr std::size_t kHeaderBytes = 88;
constexpr std::size_t kBytesOffset = 48;
constexpr std::size_t kRecordsOffset = 52;
constexpr double kDotsPerInch = 96.0;
constexpr double kFrameUnitsPerInch = 2540.0; // hundredths of a millimetre

// The converter writes a few hundred bytes of SVG per record, all held in memory, so
// the records it is given are limited; a real drawing has far fewer.
constexpr std::uint32_t kMaxRecords = 1'000'000;
constexpr std::size_t kMaxSvgBytes = std::size_t{512} * 1024 * 1024;

std::uint32_t U32At(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::uint32_t>(file[offset]) | (static_cast<std::uint32_t>(file[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(file[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(file[offset + 3]) << 24);
}

std::int64_t S32At(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::int32_t>(U32At(file, offset));
}

bool IsEmf(std::span<const std::uint8_t> file) {
    return file.size() >= kHeaderBytes && U32At(file, 0) == kHeaderRecord && U32At(file, 4) >= kHeaderBytes &&
           U32At(file, 40) == kSignature;
}

// A frame extent (hundredths of a millimetre) in pixels at 96 dots per inch; a
// non-empty extent never shrinks below one pixel.
std::int64_t FramePixels(std::int64_t extent) {
    const double pixels = RoundHalfEven(static_cast<double>(extent) * kDotsPerInch / kFrameUnitsPerInch);
    return pixels < 1.0 ? 1 : static_cast<std::int64_t>(pixels);
}

ReaderCheck NaturalSize(std::span<const std::uint8_t> file) {
    const std::int64_t frameWidth = S32At(file, 32) - S32At(file, 24);
    const std::int64_t frameHeight = S32At(file, 36) - S32At(file, 28);
    if (frameWidth > 0 && frameHeight > 0) {
        return {true, FramePixels(frameWidth), FramePixels(frameHeight)};
    }
    const std::int64_t boundsWidth = S32At(file, 16) - S32At(file, 8);
    const std::int64_t boundsHeight = S32At(file, 20) - S32At(file, 12);
    return {true, boundsWidth > 0 ? boundsWidth : 0, boundsHeight > 0 ? boundsHeight : 0};
}

// The records the converter is given: from the header up to the end-of-file record,
// each whole inside the file and a multiple of four bytes long. A damaged record, the
// file's end or the record limit ends the list early; the header's byte and record
// counts are rewritten to match, so the converter never trusts a claim we did not check.
std::vector<char> WholeRecords(std::span<const std::uint8_t> file) {
    std::size_t offset = 0;
    std::uint32_t count = 0;
    while (count < kMaxRecords && file.size() - offset >= 8) {
        const std::uint32_t type = U32At(file, offset);
        const std::uint32_t size = U32At(file, offset + 4);
        if (size < 8 || size % 4 != 0 || size > file.size() - offset) {
            break;
        }
        offset += size;
        ++count;
        if (type == kEndOfFileRecord) {
            break;
        }
    }
    std::vector<char> records(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
    if (offset >= kHeaderBytes) {
        const auto bytes = static_cast<std::uint32_t>(offset);
        std::memcpy(records.data() + kBytesOffset, &bytes, sizeof bytes);
        std::memcpy(records.data() + kRecordsOffset, &count, sizeof count);
    }
    return records;
}

struct FreeDeleter {
    // libemf2svg allocates the text with malloc.
    void operator()(char* text) const { std::free(text); } // NOLINT(cppcoreguidelines-no-malloc)
};

// The drawing as SVG sized width x height, or nothing when the converter fails.
std::optional<std::string> ConvertToSvg(std::vector<char>& records, std::int64_t width, std::int64_t height) {
    generatorOptions options{};
    std::array<char, 1> noNamespace{};
    options.nameSpace = noNamespace.data();
    options.verbose = false;
    // Dual files carry plain records beside the EMF+ ones; the plain ones are drawn.
    options.emfplus = false;
    options.svgDelimiter = true;
    options.imgWidth = static_cast<double>(width);
    options.imgHeight = static_cast<double>(height);
    char* text = nullptr;
    std::size_t length = 0;
    const int converted = emf2svg(records.data(), records.size(), &text, &length, &options);
    const std::unique_ptr<char, FreeDeleter> owned(text);
    if (converted != 1 || text == nullptr || length == 0 || length > kMaxSvgBytes) {
        return std::nullopt;
    }
    return std::string(text, length);
}

// Text needs Qt's font database, which exists only under a QGuiApplication. The
// desktop program has one; the command-line converter and the lower layers' tests do
// not, so one is made, off screen, for the length of a render.
class GuiForText {
  public:
    GuiForText() {
        if (QCoreApplication::instance() != nullptr) {
            usable_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
            return;
        }
        own_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
        usable_ = true;
    }
    ~GuiForText() = default;
    GuiForText(const GuiForText&) = delete;
    GuiForText& operator=(const GuiForText&) = delete;
    GuiForText(GuiForText&&) = delete;
    GuiForText& operator=(GuiForText&&) = delete;

    bool Usable() const { return usable_; }

  private:
    std::array<char, 11> name_{"quillmorph"};
    std::array<char, 10> option_{"-platform"};
    std::array<char, 10> platform_{"offscreen"};
    std::array<char*, 4> argv_{name_.data(), option_.data(), platform_.data(), nullptr};
    int argc_ = 3;
    std::unique_ptr<QGuiApplication> own_;
    bool usable_ = false;
};

std::optional<Picture> RenderSvg(const std::string& svg, int width, int height) {
    const GuiForText gui;
    if (!gui.Usable()) {
        return std::nullopt;
    }
    QSvgRenderer renderer(QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
    if (!renderer.isValid()) {
        return std::nullopt;
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, width, height));
    }
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        BufferWord* out = picture.pixels.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            out[x] = row[x] & 0xFFFFFFu; // 0xFFRRGGBB: blue already in the low byte
        }
    }
    return picture;
}

} // namespace

ReaderCheck CheckEmf(std::span<const std::uint8_t> file) {
    return IsEmf(file) ? MetafileRenderSize(NaturalSize(file)) : ReaderCheck{};
}

std::optional<Picture> DecodeEmf(std::span<const std::uint8_t> file) {
    const ReaderCheck size = CheckEmf(file);
    if (!size.accepted || !IsAcceptablePictureSize(size.width, size.height)) {
        return std::nullopt;
    }
    return RenderMetafileInHelper(MetafileKind::Emf, file, static_cast<int>(size.width),
                                  static_cast<int>(size.height));
}

// In the helper: the converter first, then Qt. The converter ends its text handling by
// shutting fontconfig down, which would abort a process whose Qt already held
// fontconfig's caches.
std::optional<Picture> RenderEmfHere(std::span<const std::uint8_t> file, int width, int height) {
    if (!IsEmf(file)) {
        return std::nullopt;
    }
    try {
        std::vector<char> records = WholeRecords(file);
        if (records.size() < kHeaderBytes) {
            return std::nullopt;
        }
        const QuietMessages quiet;
        const std::optional<std::string> svg = ConvertToSvg(records, width, height);
        if (!svg) {
            return std::nullopt;
        }
        return RenderSvg(*svg, width, height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<std::string> ConvertEmfHere(std::span<const std::uint8_t> file) {
    const ReaderCheck size = IsEmf(file) ? NaturalSize(file) : ReaderCheck{};
    if (!size.accepted || !IsAcceptablePictureSize(size.width, size.height)) {
        return std::nullopt;
    }
    std::vector<char> records = WholeRecords(file);
    if (records.size() < kHeaderBytes) {
        return std::nullopt;
    }
    return ConvertToSvg(records, size.width, size.height);
}

PictureReader EmfPictureReader() {
    return {"EMF", [](std::span<const std::uint8_t> file, std::string_view) { return CheckEmf(file); },
            [](std::span<const std::uint8_t> file, std::string_view) { return DecodeEmf(file); }};
}
