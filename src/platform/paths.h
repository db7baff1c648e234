#pragma once
// The run directory and files named by GBK texts.
#include <optional>
#include <string>

namespace quenlo::platform {

// The directory that holds the running program, as GBK text, without a
// trailing separator.
std::string RunDirectory();

// The path separator the program joins names with ("\\" on Windows).
inline constexpr const char* kPathSeparator = "/";

// The current working directory as GBK text.
std::string CurrentDirectory();

bool FileExists(const std::string& gbkPath);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& gbkPath);

}  // namespace quenlo::platform
