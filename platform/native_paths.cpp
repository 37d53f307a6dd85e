#include "platform/native_paths.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace {

// The one entry of `folder` that Qt shows as `name`; `name` encoded again when there is
// none or more than one, so an undecodable name is never guessed between two files.
std::string EntryShownAs(const std::string& folder, const QString& name) {
    std::string found;
    int matches = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string bytes = entry->path().filename().native();
        if (QFile::decodeName(QByteArray::fromStdString(bytes)) == name) {
            found = bytes;
            ++matches;
        }
    }
    return matches == 1 ? found : QFile::encodeName(name).toStdString();
}

} // namespace

QString QtPathOf(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string NativePathOf(const QString& path) {
    // Only a name Qt could not decode holds the replacement character.
    if (!path.contains(QChar::ReplacementCharacter)) {
        return QFile::encodeName(path).toStdString();
    }
    std::string native;
    std::string folder = ".";
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        native += i > 0 ? "/" : "";
        native += parts[i].contains(QChar::ReplacementCharacter) ? EntryShownAs(folder, parts[i])
                                                                 : QFile::encodeName(parts[i]).toStdString();
        folder = native.empty() ? "/" : native;
    }
    return native;
}

std::string NativePathOf(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    // The URL's percent-encoded form holds the name's bytes as they are; Qt's decoded text
    // would hold replacement characters for bytes that are not UTF-8.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}
