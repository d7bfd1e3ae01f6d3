#pragma once
// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace solvane::test {

class TTempFolder {
 public:
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "solvane-XXXXXX").string();
    if (::mkdtemp(pattern.data())) m_path = pattern;
  }
  ~TTempFolder() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  // Writes text to the file name (created or replaced) and returns its path.
  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::string file = *this / name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

 private:
  std::string m_path;
};

inline std::string ReadWholeFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace solvane::test
