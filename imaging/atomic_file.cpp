#include "imaging/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool writesSynced = true;

// Closes the descriptor and removes the temporary file unless it was committed.
struct TemporaryFile {
    int descriptor = -1;
    std::string path;
    bool committed = false;

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&&) = delete;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile() {
        if (descriptor >= 0) {
            close(descriptor);
        }
        if (!committed && !path.empty()) {
            unlink(path.c_str());
        }
    }
};

std::string Failure(std::string_view path, int error) {
    std::string reason = "Unable to write the file '";
    reason += path;
    reason += "' (";
    reason += std::strerror(error);
    reason += ").";
    return reason;
}

// New files get the usual permissions (0666 less the umask); a replaced file keeps its own.
mode_t PermissionsFor(const std::string& target) {
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool WriteAll(int descriptor, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

void SetWritesSynced(bool synced) {
    writesSynced = synced;
}

bool WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes, std::string& reason) {
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        reason = Failure(path, ENOENT);
        return false;
    }
    std::string target(path);
    // Writing through a symbolic link replaces the file it points to, not the link.
    std::error_code error;
    if (std::filesystem::is_symlink(target, error)) {
        const auto resolved = std::filesystem::weakly_canonical(target, error);
        if (!error) {
            target = resolved.string();
        }
    }
    if (std::filesystem::is_directory(target, error)) {
        reason = Failure(path, EISDIR);
        return false;
    }

    TemporaryFile temporary;
    std::string pattern = target + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    temporary.descriptor = mkstemp(name.data());
    if (temporary.descriptor < 0) {
        reason = Failure(path, errno);
        return false;
    }
    temporary.path = name.data();

    if (fchmod(temporary.descriptor, PermissionsFor(target)) != 0 || !WriteAll(temporary.descriptor, bytes) ||
        (writesSynced && fsync(temporary.descriptor) != 0)) {
        reason = Failure(path, errno);
        return false;
    }
    const int descriptor = temporary.descriptor;
    temporary.descriptor = -1;
    if (close(descriptor) != 0) {
        reason = Failure(path, errno);
        return false;
    }
    if (rename(temporary.path.c_str(), target.c_str()) != 0) {
        reason = Failure(path, errno);
        return false;
    }
    temporary.committed = true;
    return true;
}
