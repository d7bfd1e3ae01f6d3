#pragma once
// A temporary folder tree with small (or sparse large) files for the task tests.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace solvane::testing {

// Sets a file's last-write time to a system-clock instant.
inline void SetLastWrite(const std::string& path, std::chrono::system_clock::time_point t) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::from_sys(t));
}

class TTempTree {
 public:
  TTempTree() {
    std::random_device rd;
    m_root = std::filesystem::temp_directory_path() /
             ("solvane-tasks-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(m_root);
  }
  ~TTempTree() {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  // The root folder without a trailing separator.
  std::string Root() const { return m_root.string(); }
  std::string Path(const std::string& relative) const { return (m_root / relative).string(); }

  std::string Folder(const std::string& relative) const {
    std::filesystem::create_directories(m_root / relative);
    return Path(relative);
  }
  // A file of size bytes (parents created); sparse when large.
  std::string File(const std::string& relative, std::uintmax_t size = 3) const {
    const auto path = m_root / relative;
    std::filesystem::create_directories(path.parent_path());
    {
      std::ofstream out(path, std::ios::binary);
      out << std::string(static_cast<std::size_t>(std::min<std::uintmax_t>(size, 16)), 'x');
    }
    std::filesystem::resize_file(path, size);
    return path.string();
  }
  std::string FileWithText(const std::string& relative, const std::string& text) const {
    const auto path = m_root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

 private:
  std::filesystem::path m_root;
};

}  // namespace solvane::testing
