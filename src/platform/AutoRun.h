#pragma once
// The entry that starts a program when the user's desktop session starts.

#include <string>
#include <string_view>

namespace solvane {

class IAutoRun {
 public:
  virtual ~IAutoRun() = default;
  // Makes the program at path start with the session under the entry name.
  // False when the entry could not be written.
  virtual bool SetAutoRun(std::string_view name, std::string_view path) = 0;
  // Removes the entry name. False when there was none or it could not be
  // removed.
  virtual bool RemoveAutoRun(std::string_view name) = 0;
};

// XDG autostart: the entry name N is the file <config home>/autostart/N.desktop
// whose Exec line starts the program. The config home is $XDG_CONFIG_HOME
// when that is an absolute path, else $HOME/.config.
class TXdgAutoRun : public IAutoRun {
 public:
  TXdgAutoRun();
  // Uses configHome instead of the one the environment names.
  explicit TXdgAutoRun(std::string configHome);

  bool SetAutoRun(std::string_view name, std::string_view path) override;
  bool RemoveAutoRun(std::string_view name) override;

  // The file that holds the entry name; empty when name cannot be a file
  // name or no config home is known.
  std::string EntryFile(std::string_view name) const;

 private:
  std::string m_configHome;
};

// The Exec value (before the file's string escapes) that runs the program at
// path without arguments: quoted when the path holds a reserved character,
// '%' doubled.
std::string DesktopExecValue(std::string_view path);

}  // namespace solvane
