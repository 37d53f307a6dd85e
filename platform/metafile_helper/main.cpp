// The metafile helper: reads one metafile from standard input, measures or renders it,
// and writes the reply (metafile_sandbox.h) to standard output. It limits its own
// memory and processor time before it reads a byte of the file.
//
//   quillmorph-metafile-helper wmf|emf size|render WIDTH HEIGHT BUILD-MARK
#include "imaging/picture_reader.h"
#include "platform/metafile_reader.h"
#include "platform/metafile_sandbox.h"
#include "platform/sanitizer_build.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Private writable memory: the libraries, Qt and a render of at most 640 x 512 pixels
// fit well inside; a file that makes a library grow without end does not. Sanitizers
// reserve terabytes of shadow memory, so their builds rely on the time limit alone.
constexpr rlim_t kDataLimit = rlim_t{256} * 1024 * 1024;
constexpr rlim_t kProcessorSeconds = 3;

void LimitSelf() {
    const rlimit cpu{kProcessorSeconds, kProcessorSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit core{0, 0};
    setrlimit(RLIMIT_CORE, &core);
    if (!kSanitizerBuild) {
        const rlimit data{kDataLimit, kDataLimit};
        setrlimit(RLIMIT_DATA, &data);
    }
}

std::optional<std::vector<std::uint8_t>> ReadInput() {
    std::vector<std::uint8_t> file;
    std::array<std::uint8_t, 65536> buffer{};
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return file;
        }
        if (file.size() + static_cast<std::size_t>(got) > kMaxPictureFileBytes) {
            return std::nullopt;
        }
        file.insert(file.end(), buffer.begin(), buffer.begin() + got);
    }
}

bool WriteAll(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool WriteReply(std::int64_t width, std::int64_t height, const Picture* picture) {
    std::array<std::uint8_t, 8> header{};
    for (int i = 0; i < 4; ++i) {
        header[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint64_t>(width) >> (8 * i));
        header[4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint64_t>(height) >> (8 * i));
    }
    if (!WriteAll(header)) {
        return false;
    }
    return picture == nullptr || WriteAll({reinterpret_cast<const std::uint8_t*>(picture->pixels.data()),
                                           picture->pixels.size() * sizeof(BufferWord)});
}

int Run(std::string_view kind, std::string_view operation, int width, int height) {
    const std::optional<std::vector<std::uint8_t>> file = ReadInput();
    if (!file) {
        return 1;
    }
    if (operation == "size") {
        const ReaderCheck size = kind == "wmf" ? MeasureWmfHere(*file) : ReaderCheck{};
        return size.accepted && WriteReply(size.width, size.height, nullptr) ? 0 : 1;
    }
    const std::optional<Picture> picture =
        kind == "wmf" ? RenderWmfHere(*file, width, height) : RenderEmfHere(*file, width, height);
    return picture && WriteReply(picture->width, picture->height, &*picture) ? 0 : 1;
}

int Number(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > kMaxPictureSide) {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    LimitSelf();
    if (argc != 6 || std::string_view(argv[5]) != QUILLMORPH_BUILD_MARK) {
        return 2;
    }
    const std::string_view kind(argv[1]);
    const std::string_view operation(argv[2]);
    if ((kind != "wmf" && kind != "emf") || (operation != "size" && operation != "render")) {
        return 2;
    }
    return Run(kind, operation, Number(argv[3]), Number(argv[4]));
}
