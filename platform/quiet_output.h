// Silences Qt's messages and standard error while a decoder runs.
//
// Qt's image plugins report damaged files through qWarning, and the C libraries behind
// the picture loaders (libpng inside icons, libjpeg, libwmf) print straight to standard
// error. The desktop program never prints, so both are silenced while a file is read.
// Sanitizer builds keep standard error, which is where their reports go.
#pragma once

#include "platform/sanitizer_build.h"

#include <QtGlobal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quiet_output_detail {

inline void DropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

constexpr bool kKeepStandardError = kSanitizerBuild;

} // namespace quiet_output_detail

struct QuietMessages {
    QtMessageHandler previous = qInstallMessageHandler(quiet_output_detail::DropMessage);
    int savedError = -1;

    QuietMessages() {
        if (quiet_output_detail::kKeepStandardError) {
            return;
        }
        std::fflush(stderr);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0) {
            return;
        }
        savedError = dup(STDERR_FILENO);
        if (savedError >= 0) {
            dup2(null, STDERR_FILENO);
        }
        close(null);
    }
    ~QuietMessages() {
        if (savedError >= 0) {
            std::fflush(stderr);
            dup2(savedError, STDERR_FILENO);
            close(savedError);
        }
        qInstallMessageHandler(previous);
    }
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;
    QuietMessages(QuietMessages&&) = delete;
    QuietMessages& operator=(QuietMessages&&) = delete;
};
