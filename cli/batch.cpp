#include "cli/batch.h"

#include "cli/cli_steps.h"
#include "imaging/process_heap.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Worker {
    pid_t pid = 0;
    int errors = -1; // the worker's standard error, an anonymous file read when it ends
    std::size_t input = 0;
};

// Starts a worker for one picture: a copy of this process, made after the settings were
// applied and the readers registered, so that it only converts. False with the reason
// when it cannot be started.
bool StartWorker(const ConvertOptions& o, std::size_t input, const std::string& output, Worker& worker,
                 std::string& reason) {
    worker.errors = memfd_create("quillmorph-worker-errors", MFD_CLOEXEC);
    if (worker.errors < 0) {
        reason = std::strerror(errno);
        return false;
    }
    // Nothing buffered may be written twice, once by each process.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        reason = std::strerror(errno);
        ::close(worker.errors);
        return false;
    }
    if (pid == 0) {
        // The program has one thread and has not loaded Qt, so the copy may go on running it.
        // Its heap moves on to huge pages the parent never touched: writes to shared ones
        // would be copied a small page at a time.
        PrepareProcessHeap();
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (::dup2(worker.errors, STDERR_FILENO) < 0 || quiet < 0 || ::dup2(quiet, STDOUT_FILENO) < 0) {
            ::_exit(kFailed);
        }
        const int status = ConvertOneFile(o, o.inputs[input], output);
        std::fflush(nullptr);
        ::_exit(status);
    }
    worker.pid = pid;
    worker.input = input;
    return true;
}

// What a worker said on standard error, without the program's prefix, one line.
std::string WorkerReason(int errors, int status) {
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(errors, buffer, sizeof buffer, at);
        if (got <= 0 || text.size() > 65536) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
    std::string reason;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        const std::string prefix = "quillmorph-cli: ";
        if (line.starts_with(prefix)) {
            line.erase(0, prefix.size());
        }
        if (!line.empty()) {
            reason += (reason.empty() ? "" : "; ") + line;
        }
        start = end + 1;
    }
    if (WIFSIGNALED(status)) {
        reason += (reason.empty() ? "" : "; ") + std::string("stopped by signal ") +
                  std::to_string(WTERMSIG(status));
    }
    return reason.empty() ? "the conversion failed" : reason;
}

} // namespace

std::string BatchOutputName(const std::string& input, ScreenOutputKind format) {
    return OutputPathFor(std::filesystem::path(input).stem().string(), format);
}

int ConvertBatch(const ConvertOptions& o) {
    std::string settingsError;
    if (!ApplySettings(o, settingsError)) {
        return UsageError(settingsError);
    }
    const std::filesystem::path folder(o.outputDir);
    std::vector<std::string> outputs;
    std::map<std::string, std::size_t> claimed;
    for (std::size_t i = 0; i < o.inputs.size(); ++i) {
        const std::string name = BatchOutputName(o.inputs[i], o.format);
        if (name.empty() || name == "." || name == "..") {
            return UsageError("'" + o.inputs[i] + "' gives no file name to write");
        }
        const auto [first, fresh] = claimed.emplace(name, i);
        if (!fresh) {
            return UsageError("'" + o.inputs[first->second] + "' and '" + o.inputs[i] +
                              "' would both be written as '" + (folder / name).string() + "'");
        }
        outputs.push_back((folder / name).string());
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        return Fail("cannot make the folder '" + o.outputDir + "'");
    }

    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    const std::size_t jobs = std::min<std::size_t>(
        o.inputs.size(), static_cast<std::size_t>(o.jobs > 0 ? o.jobs : std::max(1L, processors)));
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    std::size_t next = 0;
    std::size_t done = 0;
    std::size_t failed = 0;
    std::vector<Worker> running;
    const auto progress = [&] {
        if (terminal) {
            std::fprintf(stderr, "\rquillmorph-cli: %zu of %zu converted, %zu failed\033[K", done - failed,
                         o.inputs.size(), failed);
            std::fflush(stderr);
        }
    };
    const auto failure = [&](std::size_t input, const std::string& reason) {
        ++failed;
        std::fprintf(stderr, "%squillmorph-cli: %s: %s\n", terminal ? "\r\033[K" : "",
                     o.inputs[input].c_str(), reason.c_str());
    };
    progress();
    while (next < o.inputs.size() || !running.empty()) {
        while (running.size() < jobs && next < o.inputs.size()) {
            Worker worker;
            std::string reason;
            if (StartWorker(o, next, outputs[next], worker, reason)) {
                running.push_back(worker);
            } else {
                ++done;
                failure(next, "could not start a worker: " + reason);
                progress();
            }
            ++next;
        }
        if (running.empty()) {
            continue;
        }
        int status = 0;
        const pid_t ended = ::waitpid(-1, &status, 0);
        if (ended < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // no children left to wait for
        }
        const auto worker =
            std::find_if(running.begin(), running.end(), [&](const Worker& w) { return w.pid == ended; });
        if (worker == running.end()) {
            continue;
        }
        ++done;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            failure(worker->input, WorkerReason(worker->errors, status));
        }
        ::close(worker->errors);
        running.erase(worker);
        progress();
    }
    if (terminal) {
        std::fputs("\n", stderr);
    }
    std::printf("%zu of %zu pictures converted into %s", done - failed, o.inputs.size(), o.outputDir.c_str());
    std::printf(failed == 0 ? "\n" : "; %zu failed\n", failed);
    return failed == 0 ? 0 : kFailed;
}
