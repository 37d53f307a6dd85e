#include "imaging/colour.h"
#include "imaging/png_reader.h"
#include "platform/metafile_reader.h"
#include "platform/metafile_sandbox.h"
#include "platform/quiet_output.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <new>

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableHeaderBytes = 22;
constexpr std::size_t kStandardHeaderBytes = 18;
constexpr double kDotsPerInch = 96.0;

// libwmf sizes its buffers from the file's own claims (the largest record, a bitmap's
// header), so its allocations are counted and refused beyond this; the rendered
// picture itself is allocated by its drawing layer and is bounded by the size check.
constexpr std::size_t kLibraryMemoryLimit = std::size_t{256} * 1024 * 1024;
// A metafile of a few records can loop over huge coordinate ranges; playing stops here.
constexpr auto kPlayTimeLimit = std::chrono::seconds(10);

// Text is drawn with the DejaVu faces standing in for the thirteen standard fonts the
// library knows by their PostScript names.
constexpr const char* kFontDirectory = "/usr/share/fonts/truetype/dejavu";
constexpr std::array<std::array<const char*, 2>, 13> kFontFiles = {{
    {"Times-Roman", "DejaVuSerif.ttf"},
    {"Times-Italic", "DejaVuSerif-Italic.ttf"},
    {"Times-Bold", "DejaVuSerif-Bold.ttf"},
    {"Times-BoldItalic", "DejaVuSerif-BoldItalic.ttf"},
    {"Helvetica", "DejaVuSans.ttf"},
    {"Helvetica-Oblique", "DejaVuSans-Oblique.ttf"},
    {"Helvetica-Bold", "DejaVuSans-Bold.ttf"},
    {"Helvetica-BoldOblique", "DejaVuSans-BoldOblique.ttf"},
    {"Courier", "DejaVuSansMono.ttf"},
    {"Courier-Oblique", "DejaVuSansMono-Oblique.ttf"},
    {"Courier-Bold", "DejaVuSansMono-Bold.ttf"},
    {"Courier-BoldOblique", "DejaVuSansMono-BoldOblique.ttf"},
    {"Symbol", "DejaVuSans.ttf"},
}};

std::uint16_t U16At(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::uint16_t>(file[offset] | (file[offset + 1] << 8));
}

std::int16_t S16At(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::int16_t>(U16At(file, offset));
}

std::uint32_t U32At(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::uint32_t>(U16At(file, offset)) |
           (static_cast<std::uint32_t>(U16At(file, offset + 2)) << 16);
}

bool IsPlaceable(std::span<const std::uint8_t> file) {
    return file.size() >= kPlaceableHeaderBytes && U32At(file, 0) == kPlaceableKey;
}

bool IsStandardHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kStandardHeaderBytes) {
        return false;
    }
    const std::uint16_t type = U16At(file, 0);
    return (type == 1 || type == 2) && U16At(file, 2) == 9;
}

// An extent in pixels at 96 dots per inch: a non-empty extent never shrinks below one
// pixel, an empty one (or no units per inch) gives 0.
std::int64_t PixelsFrom(std::int64_t units, std::int64_t unitsPerInch) {
    if (units == 0 || unitsPerInch <= 0) {
        return 0;
    }
    const double pixels =
        RoundHalfEven(static_cast<double>(units) * kDotsPerInch / static_cast<double>(unitsPerInch));
    return pixels < 1.0 ? 1 : static_cast<std::int64_t>(pixels);
}

ReaderCheck PlaceableSize(std::span<const std::uint8_t> file) {
    const std::int64_t left = S16At(file, 6);
    const std::int64_t top = S16At(file, 8);
    const std::int64_t right = S16At(file, 10);
    const std::int64_t bottom = S16At(file, 12);
    const std::int64_t inch = U16At(file, 14);
    return {true, PixelsFrom(std::llabs(right - left), inch), PixelsFrom(std::llabs(bottom - top), inch)};
}

// libwmf's allocations, counted against kLibraryMemoryLimit. Each block carries its
// size in front so that a reallocation and a release know what they give back.
struct MemoryBudget {
    std::size_t used = 0;
};

constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

void* BudgetAllocate(void* context, std::size_t size) {
    auto* budget = static_cast<MemoryBudget*>(context);
    if (size > kLibraryMemoryLimit - budget->used) {
        return nullptr;
    }
    auto* block = static_cast<std::byte*>(::operator new(size + kBlockHeader, std::nothrow));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    budget->used += size;
    return block + kBlockHeader;
}

std::size_t BlockSize(void* memory) {
    std::size_t size = 0;
    std::memcpy(&size, static_cast<std::byte*>(memory) - kBlockHeader, sizeof size);
    return size;
}

void BudgetFree(void* context, void* memory) {
    if (memory == nullptr) {
        return;
    }
    static_cast<MemoryBudget*>(context)->used -= BlockSize(memory);
    ::operator delete(static_cast<std::byte*>(memory) - kBlockHeader);
}

void* BudgetReallocate(void* context, void* memory, std::size_t size) {
    if (memory == nullptr) {
        return BudgetAllocate(context, size);
    }
    void* moved = BudgetAllocate(context, size);
    if (moved == nullptr) {
        return nullptr;
    }
    const std::size_t old = BlockSize(memory);
    std::memcpy(moved, memory, old < size ? old : size);
    BudgetFree(context, memory);
    return moved;
}

int PastDeadline(void* context, float) {
    return std::chrono::steady_clock::now() > *static_cast<std::chrono::steady_clock::time_point*>(context)
               ? 1
               : 0;
}

int CollectPng(void* context, char* buffer, int length) {
    if (length <= 0) {
        return length;
    }
    auto* png = static_cast<std::vector<std::uint8_t>*>(context);
    try {
        png->insert(png->end(), buffer, buffer + length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

// One metafile opened in libwmf with its drawing layer: scanned on opening, then
// measured or played. The file's bytes must outlive it.
class WmfSession {
  public:
    explicit WmfSession(std::span<const std::uint8_t> file) {
        deadline_ = std::chrono::steady_clock::now() + kPlayTimeLimit;
        for (std::size_t i = 0; i < kFontFiles.size(); ++i) {
            fonts_[i] = {const_cast<char*>(kFontFiles[i][0]), const_cast<char*>(kFontFiles[i][1]),
                         FT_ENCODING_NONE};
        }
        fonts_.back() = {nullptr, nullptr, FT_ENCODING_NONE};
        fontDirectories_ = {const_cast<char*>(kFontDirectory), nullptr};

        wmfAPI_Options options{};
        options.context = &budget_;
        options.malloc = BudgetAllocate;
        options.realloc = BudgetReallocate;
        options.free = BudgetFree;
        options.function = wmf_gd_function;
        options.fontdirs = fontDirectories_.data();
        options.font.ps = fonts_.data();
        const unsigned long flags = WMF_OPT_ALLOC | WMF_OPT_FUNCTION | WMF_OPT_FONTDIRS | WMF_OPT_FONTMAP |
                                    WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        if (wmf_api_create(&api_, flags, &options) != wmf_E_None) {
            return;
        }
        wmf_status_function(api_, &deadline_, PastDeadline);
        // libwmf reads the memory it is given and never writes it.
        if (wmf_mem_open(api_, const_cast<unsigned char*>(file.data()), static_cast<long>(file.size())) !=
            wmf_E_None) {
            return;
        }
        opened_ = true;
        scanned_ = wmf_scan(api_, 0, &box_) == wmf_E_None && std::isfinite(box_.TL.x) &&
                   std::isfinite(box_.TL.y) && std::isfinite(box_.BR.x) && std::isfinite(box_.BR.y) &&
                   box_.BR.x > box_.TL.x && box_.BR.y > box_.TL.y;
    }
    ~WmfSession() {
        if (api_ != nullptr) {
            if (opened_) {
                wmf_mem_close(api_);
            }
            wmf_api_destroy(api_);
        }
    }
    WmfSession(const WmfSession&) = delete;
    WmfSession& operator=(const WmfSession&) = delete;
    WmfSession(WmfSession&&) = delete;
    WmfSession& operator=(WmfSession&&) = delete;

    bool Scanned() const { return scanned_; }

    // The size libwmf gives a metafile without a placeable header.
    ReaderCheck MeasuredSize() {
        unsigned int width = 0;
        unsigned int height = 0;
        if (!scanned_ || wmf_display_size(api_, &width, &height, kDotsPerInch, kDotsPerInch) != wmf_E_None) {
            return {};
        }
        return {true, width, height};
    }

    // Draws the metafile's scanned extent onto a white width x height picture.
    std::optional<Picture> Play(int width, int height) {
        if (!scanned_) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> png;
        wmf_gd_t* device = WMF_GD_GetData(api_);
        // The drawing layer hands over its picture only as PNG; its in-memory image is
        // never released by the library, so it is not used.
        device->type = wmf_gd_png;
        device->flags |= WMF_GD_OUTPUT_MEMORY | WMF_GD_OWN_BUFFER;
        device->sink.context = &png;
        device->sink.function = CollectPng;
        device->bbox = box_;
        device->width = static_cast<unsigned int>(width);
        device->height = static_cast<unsigned int>(height);
        if (wmf_play(api_, 0, &box_) != wmf_E_None) {
            return std::nullopt;
        }
        std::optional<Picture> picture = DecodePng(png);
        if (!picture || picture->width != width || picture->height != height) {
            return std::nullopt;
        }
        return picture;
    }

  private:
    MemoryBudget budget_;
    std::chrono::steady_clock::time_point deadline_;
    std::array<wmfMapping, kFontFiles.size() + 1> fonts_{};
    std::array<char*, 2> fontDirectories_{};
    wmfAPI* api_ = nullptr;
    wmfD_Rect box_{};
    bool opened_ = false;
    bool scanned_ = false;
};

} // namespace

ReaderCheck CheckWmf(std::span<const std::uint8_t> file) {
    if (IsPlaceable(file)) {
        return MetafileRenderSize(PlaceableSize(file));
    }
    if (!IsStandardHeader(file)) {
        return {};
    }
    // Without the placeable header only playing the records tells the size.
    return MetafileRenderSize(MeasureMetafileInHelper(MetafileKind::Wmf, file));
}

std::optional<Picture> DecodeWmf(std::span<const std::uint8_t> file) {
    const ReaderCheck size = CheckWmf(file);
    if (!size.accepted || !IsAcceptablePictureSize(size.width, size.height)) {
        return std::nullopt;
    }
    return RenderMetafileInHelper(MetafileKind::Wmf, file, static_cast<int>(size.width),
                                  static_cast<int>(size.height));
}

ReaderCheck MeasureWmfHere(std::span<const std::uint8_t> file) {
    if (!IsStandardHeader(file) && !IsPlaceable(file)) {
        return {};
    }
    const QuietMessages quiet;
    WmfSession session(file);
    return IsPlaceable(file) ? PlaceableSize(file) : session.MeasuredSize();
}

std::optional<Picture> RenderWmfHere(std::span<const std::uint8_t> file, int width, int height) {
    if (!IsStandardHeader(file) && !IsPlaceable(file)) {
        return std::nullopt;
    }
    const QuietMessages quiet;
    WmfSession session(file);
    return session.Play(width, height);
}

PictureReader WmfPictureReader() {
    return {"WMF", [](std::span<const std::uint8_t> file, std::string_view) { return CheckWmf(file); },
            [](std::span<const std::uint8_t> file, std::string_view) { return DecodeWmf(file); }};
}
