#include "cli/cli.h"

#include "adjust/auto_level.h"
#include "adjust/brightness_contrast_gamma.h"
#include "adjust/colour_effects.h"
#include "adjust/rotate_flip.h"
#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/cli_steps.h"
#include "cli/disc_commands.h"
#include "imaging/atomic_file.h"
#include "imaging/colour.h"
#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "imaging/picture_writer.h"
#include "pipeline/auto_palette.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/picture_readers.h"
#include "pipeline/preview_refresh.h"
#include "pipeline/source_loading.h"
#include "program_identity.h"
#include "screen/dump_reader.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: quillmorph-cli COMMAND ...\n"
    "\n"
    "  convert INPUT OUTPUT [options]   convert a picture into a BBC Micro screen\n"
    "    --mode 0|1|2|4|5|8             screen mode (default 2)\n"
    "    --method NAME|NUMBER           dither method (see 'methods'; default None)\n"
    "    --strength 0..100              dither strength in per cent (default 50)\n"
    "    --serpentine                   serpentine scan\n"
    "    --stretch                      stretch to fill instead of black bars\n"
    "    --raw-scaling                  nearest-pixel source scaling instead of smooth\n"
    "    --lines 256|240|200            line count (200 NTSC, 240 QVGA)\n"
    "    --palette C0,C1,...            physical colours (0-7 or names) for logical colours 0..n-1\n"
    "    --auto-palette                 choose the palette from the picture\n"
    "    --format dump|png|jpg|bmp|ssd  dump (default) writes OUTPUT and OUTPUT.inf; ssd writes a\n"
    "                                   bootable disc image (several INPUTs: a slideshow)\n"
    "    edits, applied in the order given:\n"
    "    --brightness N --contrast N --gamma G --greyscale --invert --solarise --level\n"
    "    --rotate-left --rotate-right --rotate-180 --flip-horizontal --flip-vertical\n"
    "  convert INPUT... --output-dir DIR [--jobs N] [options]\n"
    "                                   convert each INPUT into DIR under its own name, N at a\n"
    "                                   time (default: one per processor)\n"
    "  convert INPUT... OUTPUT.ssd --format ssd [options]\n"
    "                                   one bootable disc; SPACE shows the next picture\n"
    "  disc DUMP... OUTPUT.ssd --mode M [--palette C0,C1,...]\n"
    "                                   a bootable disc of saved dumps (their .inf used if present)\n"
    "  decode DUMP OUTPUT.png --mode M  read a screen dump as the import command does\n"
    "  read INPUT OUTPUT.png [edits]    decode a picture file, apply edits, write it as PNG\n"
    "  info INPUT                       which reader takes the file, and its size\n"
    "  modes | methods                  list the screen modes or the dither methods\n"
    "  --help | --version\n"
    "\n"
    "Exit status: 0 success, 1 the conversion failed, 2 a usage error.\n";

std::string ReasonOf(std::string_view text) {
    const std::string prefix = ErrorMessageText("");
    return text.starts_with(prefix) ? std::string(text.substr(prefix.size())) : std::string(text);
}

// The program's procedures report through ErrorMessage; here that goes to standard error.
void PrepareProgram() {
    ResetAppState();
    SetWritesSynced(false);
    SetErrorReporter([](std::string_view, std::string_view text) {
        std::fprintf(stderr, "quillmorph-cli: %s\n", ReasonOf(text).c_str());
    });
    LoadDitherKernels();
    ClearPictureReaders();
    RegisterPictureReaders();
}

std::optional<int> MethodNumber(const std::string& text) {
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    for (int n = 0; n < kDitherMethodCount; ++n) {
        if (lower(ditherTable[static_cast<std::size_t>(n)].name) == lower(text) ||
            std::to_string(n) == text) {
            return n;
        }
    }
    return std::nullopt;
}

void ApplyEdits(const std::vector<Edit>& edits) {
    for (const Edit& edit : edits) {
        switch (edit.kind) {
        case EditKind::Brightness:
            AdjustBrightness(workingPicture, static_cast<int>(RoundHalfEven(edit.amount)));
            break;
        case EditKind::Contrast:
            AdjustContrast(workingPicture, edit.amount);
            break;
        case EditKind::Gamma:
            AdjustGamma(workingPicture, edit.amount);
            break;
        case EditKind::Greyscale:
            GreyscaleImage(workingPicture);
            break;
        case EditKind::Invert:
            InvertImage(workingPicture);
            break;
        case EditKind::Solarise:
            SolariseImage(workingPicture, 128);
            break;
        case EditKind::Level:
            AutoLevelImage(workingPicture);
            break;
        case EditKind::RotateLeft:
            RotateImageLeft90(workingPicture);
            break;
        case EditKind::RotateRight:
            RotateImageRight90(workingPicture);
            break;
        case EditKind::Rotate180:
            RotateImage180(workingPicture);
            break;
        case EditKind::FlipHorizontal:
            FlipImageHorizontally(workingPicture);
            break;
        case EditKind::FlipVertical:
            FlipImageVertically(workingPicture);
            break;
        }
    }
}

} // namespace

int Fail(const std::string& reason) {
    std::fprintf(stderr, "quillmorph-cli: %s\n", reason.c_str());
    return kFailed;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "quillmorph-cli: %s\nTry 'quillmorph-cli --help'.\n", message.c_str());
    return kUsageError;
}

bool ApplySettings(const ConvertOptions& o, std::string& error) {
    const ScreenMode* mode = ScreenModeByNumber(o.mode);
    const auto method = MethodNumber(o.method);
    if (!method) {
        error = "unknown dither method '" + o.method + "' (see 'quillmorph-cli methods')";
        return false;
    }
    if (static_cast<int>(o.palette.size()) > mode->colourCount) {
        error = "--palette gives " + std::to_string(o.palette.size()) + " colours but " +
                std::string(mode->label) + " has " + std::to_string(mode->colourCount);
        return false;
    }
    screenMode = mode->number;
    modeWidth = mode->width;
    lastModeIndex = mode->position;
    previewHeight = o.lines;
    previewScaleMode = mode->previewScaleMode;
    sourceScaleMode = o.rawScaling ? 1 : 0;
    keepAspect = o.stretch ? 0 : 1;
    serpentine = o.serpentine ? 1 : 0;
    ditherMethod = *method;
    for (int m = 0; m < kPaletteRows; ++m) {
        ResetPalette(m);
    }
    for (std::size_t k = 0; k < o.palette.size(); ++k) {
        PaletteEntry(screenMode, static_cast<int>(k)) =
            kPhysicalColours[static_cast<std::size_t>(o.palette[k])];
    }
    return true;
}

bool ConvertPicture(const ConvertOptions& o, const std::string& input, std::string& reason) {
    const SourceRead source = ReadSourcePicture(input);
    if (source.result == 0) {
        reason = source.reason;
        return false;
    }
    ApplyEdits(o.edits);
    if (o.autoPalette) {
        AutoPalette(workingPicture, screenMode);
    }
    if (!ConvertWorkingPicture(o.strength)) {
        reason = "the picture could not be converted";
        return false;
    }
    if (const auto foreign = FindForeignPixel(convertedPicture)) {
        reason = VerificationMessage(*foreign);
        return false;
    }
    return true;
}

int ConvertOneFile(const ConvertOptions& o, const std::string& input, const std::string& output) {
    std::string reason;
    if (!ConvertPicture(o, input, reason)) {
        return Fail(reason);
    }
    return WriteScreenPicture(convertedPicture, screenMode, output, o.format, reason) ? 0 : Fail(reason);
}

namespace {

int Convert(const ConvertOptions& o) {
    if (o.disc) {
        return ConvertToDisc(o);
    }
    if (!o.outputDir.empty()) {
        return ConvertBatch(o);
    }
    std::string reason;
    if (!ApplySettings(o, reason)) {
        return UsageError(reason);
    }
    return ConvertOneFile(o, o.input, o.output);
}

int WritePicturePng(int picture, const std::string& path) {
    std::string reason;
    const Picture* source = FindPicture(picture);
    if (source == nullptr || !WritePngFile(*source, path, reason)) {
        return Fail(source == nullptr ? "no picture to write" : reason);
    }
    return 0;
}

int Decode(const ConvertOptions& o) {
    const ScreenMode* mode = ScreenModeByNumber(o.mode);
    // Nobody to ask about a long file: keep the first screenful, as the desktop program
    // does after "Yes".
    const auto data = ReadScreenDumpFile(o.input, [&o](std::uint64_t) {
        std::fprintf(stderr, "quillmorph-cli: warning: %s is longer than %zu bytes; the rest is ignored\n",
                     o.input.c_str(), kMaxDumpBytes);
        return true;
    });
    if (!data) {
        return kFailed;
    }
    DecodedDump dump = DecodeScreenBytes(*data, mode->width, mode->bitsPerPixel);
    if (!dump.picture) {
        return Fail(dump.reason);
    }
    StorePicture(workingPicture, std::move(*dump.picture));
    return WritePicturePng(workingPicture, o.output);
}

int Read(const ConvertOptions& o) {
    DecodeResult result = DecodePictureFile(o.input);
    if (!result.picture) {
        return Fail(result.reason);
    }
    StorePicture(workingPicture, std::move(*result.picture));
    ApplyEdits(o.edits);
    return WritePicturePng(workingPicture, o.output);
}

int Info(const ConvertOptions& o) {
    // The file is decoded to be sure it can be, but as small as its reader allows: a
    // camera photograph (or a few bytes of JPEG promising one) need not be decoded whole.
    const DecodeResult result = DecodePictureFile(o.input, [](DecodeSize) { return DecodeSize{1, 1}; });
    if (!result.picture) {
        std::printf("%s: %s\n", o.input.c_str(), result.reason.c_str());
        return kFailed;
    }
    std::printf("%s: %s, %lld x %lld pixels\n", o.input.c_str(), result.readerName.c_str(),
                static_cast<long long>(result.fullSize.width),
                static_cast<long long>(result.fullSize.height));
    return 0;
}

int ListModes() {
    for (const ScreenMode& mode : screenModes) {
        std::printf("%d  %-6.*s %3d pixels across, %d colours, %d bits per pixel, %5d bytes at 256 lines, "
                    "load &%.*s\n",
                    mode.number, static_cast<int>(mode.label.size()), mode.label.data(), mode.width,
                    mode.colourCount, mode.bitsPerPixel, 256 * mode.bytesPerLine,
                    static_cast<int>(mode.loadAddress.size()), mode.loadAddress.data());
    }
    return 0;
}

int ListMethods() {
    for (int n = 0; n < kDitherMethodCount; ++n) {
        std::printf("%2d  %s\n", n, ditherTable[static_cast<std::size_t>(n)].name.c_str());
    }
    return 0;
}

} // namespace

int RunCli(const std::vector<std::string>& arguments) {
    const ParsedCommand parsed = ParseArguments(arguments);
    if (!parsed.error.empty()) {
        return UsageError(parsed.error);
    }
    if (parsed.command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed.command == "version") {
        std::printf("quillmorph-cli %s\n", kProgramVersion);
        return 0;
    }
    PrepareProgram();
    int status = 0;
    if (parsed.command == "convert") {
        status = Convert(parsed.options);
    } else if (parsed.command == "disc") {
        status = MakeDisc(parsed.options);
    } else if (parsed.command == "decode") {
        status = Decode(parsed.options);
    } else if (parsed.command == "read") {
        status = Read(parsed.options);
    } else if (parsed.command == "info") {
        status = Info(parsed.options);
    } else if (parsed.command == "modes") {
        status = ListModes();
    } else {
        status = ListMethods();
    }
    DiscardAllPictures();
    return status;
}
