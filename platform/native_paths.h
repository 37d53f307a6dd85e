// Paths between the program and Qt. The program keeps a path as the file system's own
// bytes; Qt keeps it as text decoded from UTF-8, which loses a name that is not valid
// UTF-8 (a Latin-1 "é" from an old archive). Every path crosses here.
#pragma once

#include <QString>
#include <QUrl>
#include <string>
#include <string_view>

// A path of the program's as Qt's text, for a dialog to start from.
QString QtPathOf(std::string_view path);
// A path Qt returns (from a dialog) as the file system's bytes. Where Qt could not decode a
// name, the one entry of its folder that Qt shows under that text is taken.
std::string NativePathOf(const QString& path);
// The local file a dropped URL names, as the file system's bytes; "" for another URL.
std::string NativePathOf(const QUrl& url);
