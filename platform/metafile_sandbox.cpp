#include "platform/metafile_sandbox.h"

#include "imaging/reader_support.h"
#include "platform/sanitizer_build.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// One limit for all of a metafile's work, from the start of the helper to its last
// pixel; sanitizer builds run several times slower. Half a second of the 3 seconds a
// load may take is left for the program's own start, the reduction to 640 pixels and
// what the caller does with the picture.
constexpr auto kTimeLimit = std::chrono::milliseconds(kSanitizerBuild ? 15000 : 2500);

std::string& HelperOverride() {
    static std::string path;
    return path;
}

// Beside the code that runs this (the program, or the loader module the command-line
// converter opens), beside the program, then the installed private folder.
std::optional<std::filesystem::path> HelperPath() {
    if (!HelperOverride().empty()) {
        return std::filesystem::path(HelperOverride());
    }
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HelperPath), &info) != 0 && info.dli_fname != nullptr) {
        folders.push_back(std::filesystem::absolute(info.dli_fname, error).parent_path());
    }
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(program.parent_path());
        folders.push_back(program.parent_path() / QUILLMORPH_PRIVATE_DIR_FROM_PROGRAM);
    }
    for (const std::filesystem::path& folder : folders) {
        const std::filesystem::path candidate = folder / kMetafileHelperFile;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

using Clock = std::chrono::steady_clock;

// Waits until the socket is ready for `events` or the deadline passes.
bool WaitFor(int socket, short events, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd wanted{socket, events, 0};
    const int ready = poll(&wanted, 1, static_cast<int>(left.count()));
    return ready > 0;
}

bool SendAll(int socket, std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        if (!WaitFor(socket, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t sent = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
    }
    return shutdown(socket, SHUT_WR) == 0;
}

bool ReceiveAll(int socket, std::span<std::uint8_t> out, Clock::time_point deadline) {
    while (!out.empty()) {
        if (!WaitFor(socket, POLLIN, deadline)) {
            return false;
        }
        const ssize_t got = recv(socket, out.data(), out.size(), MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out = out.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

// A running helper with its end of the socket; killed and reaped when it goes out of
// scope unless it ended by itself with status 0.
struct Helper {
    pid_t pid = -1;
    int socket = -1;

    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    Helper(Helper&&) = delete;

    Helper& operator=(Helper&&) = delete;
    Helper() = default;
    ~Helper() {
        if (socket >= 0) {
            close(socket);
        }
        if (pid > 0) {
            kill(pid, SIGKILL);
            Reap();
        }
    }
    int Reap() {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
    // Whether the helper ended by itself, successfully, before the deadline.
    bool EndedWell(Clock::time_point deadline) {
        close(socket);
        socket = -1;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                pid = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            usleep(1000);
        }
        return false;
    }
};

// Starts the helper with its standard input and output on one end of a socket pair.
bool Start(Helper& helper, MetafileKind kind, std::string_view operation, int width, int height) {
    const std::optional<std::filesystem::path> path = HelperPath();
    std::array<int, 2> ends{};
    if (!path || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    if (!kSanitizerBuild) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string program = path->string();
    std::string kindName = kind == MetafileKind::Wmf ? "wmf" : "emf";
    std::string operationName(operation);
    std::string widthText = std::to_string(width);
    std::string heightText = std::to_string(height);
    std::string mark = QUILLMORPH_BUILD_MARK;
    std::array<char*, 8> argv{program.data(),   kindName.data(),   operationName.data(),
                              widthText.data(), heightText.data(), mark.data(),
                              nullptr};
    pid_t pid = -1;
    const int started = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (started != 0) {
        close(ends[0]);
        return false;
    }
    helper.pid = pid;
    helper.socket = ends[0];
    return true;
}

std::uint32_t LittleEndian32(std::span<const std::uint8_t, 4> bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

// Runs one operation; the reply's size, and for a render the pixels, within the limit.
std::optional<Picture> Run(MetafileKind kind, std::span<const std::uint8_t> file, std::string_view operation,
                           int width, int height) {
    const Clock::time_point deadline = Clock::now() + kTimeLimit;
    Helper helper;
    if (!Start(helper, kind, operation, width, height) || !SendAll(helper.socket, file, deadline)) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 8> header{};
    if (!ReceiveAll(helper.socket, header, deadline)) {
        return std::nullopt;
    }
    Picture picture;
    const std::uint32_t gotWidth = LittleEndian32(std::span(header).first<4>());
    const std::uint32_t gotHeight = LittleEndian32(std::span(header).last<4>());
    const bool render = operation == "render";
    if (!IsAcceptablePictureSize(gotWidth, gotHeight) ||
        (render && (gotWidth != static_cast<std::uint32_t>(width) ||
                    gotHeight != static_cast<std::uint32_t>(height)))) {
        return std::nullopt;
    }
    picture.width = static_cast<int>(gotWidth);
    picture.height = static_cast<int>(gotHeight);
    if (render) {
        picture.pixels.resize(std::size_t{gotWidth} * gotHeight);
        const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(picture.pixels.data()),
                                            picture.pixels.size() * sizeof(BufferWord));
        if (!ReceiveAll(helper.socket, bytes, deadline)) {
            return std::nullopt;
        }
        for (BufferWord& word : picture.pixels) {
            word &= 0xFFFFFFu;
        }
    }
    if (!helper.EndedWell(deadline)) {
        return std::nullopt;
    }
    return picture;
}

} // namespace

ReaderCheck MeasureMetafileInHelper(MetafileKind kind, std::span<const std::uint8_t> file) {
    const std::optional<Picture> size = Run(kind, file, "size", 0, 0);
    return size ? ReaderCheck{true, size->width, size->height} : ReaderCheck{};
}

std::optional<Picture> RenderMetafileInHelper(MetafileKind kind, std::span<const std::uint8_t> file,
                                              int width, int height) {
    if (!IsAcceptablePictureSize(width, height)) {
        return std::nullopt;
    }
    return Run(kind, file, "render", width, height);
}

ReaderCheck MetafileRenderSize(const ReaderCheck& natural) {
    constexpr std::int64_t kWidest = 640;
    constexpr std::int64_t kTallest = 512;
    ReaderCheck size = natural;
    if (!natural.accepted || natural.width < 1 || natural.height < 1) {
        return size;
    }
    if (natural.width >= natural.height && natural.width > kWidest) {
        size.width = kWidest;
        size.height = std::max<std::int64_t>(1, natural.height * kWidest / natural.width);
    } else if (natural.width < natural.height && natural.height > kTallest) {
        size.width = std::max<std::int64_t>(1, natural.width * kTallest / natural.height);
        size.height = kTallest;
    }
    return size;
}

void SetMetafileHelperPath(std::string path) {
    HelperOverride() = std::move(path);
}
