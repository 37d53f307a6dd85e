// Files the program writes are written whole or not at all: the bytes go to a
// temporary file beside the target, which is then renamed over it, so a failed save
// never destroys an earlier file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Writes `bytes` as the file `path`, replacing any file of that name. On failure
// returns false, leaves any earlier file untouched and sets `reason` to a sentence
// that names the file.
bool WriteFileAtomically(std::string_view path, std::span<const std::uint8_t> bytes, std::string& reason);

// Whether each file reaches the disc before it replaces the earlier one (on by default).
// The desktop program keeps it: a crash then leaves the old file or the new one whole.
// The converter turns it off, as other converters do: its inputs remain to convert
// again, and a sync costs more than the whole conversion.
void SetWritesSynced(bool synced);
