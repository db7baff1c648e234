#pragma once
// Helpers shared by the XML tests: fixture files, scratch directories and a
// compact one-line picture of a tree.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "xml/xml_document.h"

namespace quenlo::xml::testing_support {

inline std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::string Fixture(const std::string& name) {
  const std::string path = std::string(QUENLO_FIXTURES_DIR) + "/xml/" + name;
  auto bytes = ReadBytes(path);
  EXPECT_TRUE(bytes.has_value()) << "missing fixture " << path;
  return bytes.value_or("");
}

// The tree written on one line: no declaration, no line ends, no indent.
// Names, stored attribute values, texts, CDATA flags and the nesting all
// show, so comparing this picture compares the trees.
inline std::string Compact(const XmlDocument& doc) {
  if (doc.Empty()) return "(empty)";
  const std::string decl = "<?xml version=\"1.0\" encoding=\"\"?>";
  std::string s = doc.Serialize("", "", "");
  return s.substr(decl.size());
}

// A private directory, removed with everything in it at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/quenlo-xml-XXXXXX";
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    EXPECT_FALSE(path_.empty());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Names of the entries in the directory, sorted, joined by '|'.
  std::string Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : "|") + n;
    return out;
  }

 private:
  std::string path_;
};

}  // namespace quenlo::xml::testing_support
