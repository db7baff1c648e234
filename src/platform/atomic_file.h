#pragma once
// Replacing a file in one step: the new content goes to a temporary file in
// the same directory, which is flushed to disk and then renamed over the
// target. A reader sees either the old file or the complete new one, never a
// half-written file, and a failed write leaves the old file untouched.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quenlo::platform {

// Writes `bytes` to the file named by the GBK path `gbkPath`, creating it or
// replacing it whole. An existing file keeps its permission bits. Returns
// false when anything fails (the directory cannot take a new file, a write or
// the flush fails, the rename fails); the temporary file is then removed and
// the previous file, if any, is left byte for byte.
bool WriteFileAtomically(const std::string& gbkPath, std::string_view bytes);

// Test hook: with a value N, every following WriteFileAtomically writes at
// most N bytes of its content and then fails as if the disk had refused the
// rest (a save interrupted midway). std::nullopt switches the failure off.
void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes);

}  // namespace quenlo::platform
