#pragma once
// The two values that describe this workstation to the server.

#include <string>

namespace solvane {

class INetworkInfo {
 public:
  virtual ~INetworkInfo() = default;
  // The first IPv4 address the host's own name resolves to, dotted decimal;
  // empty when the name or the look-up fails.
  virtual std::string LocalIPAddress() = 0;
  // The first network adapter address that is not all zero, as six
  // upper-case hex pairs joined by '-' (00-0C-29-3A-5B-7C); empty when none.
  virtual std::string LocalMacAddress() = 0;
};

// Adapters are the interfaces under the sysfs net folder, taken in the
// kernel's order (ascending ifindex); only 6-byte addresses count.
class TPosixNetworkInfo : public INetworkInfo {
 public:
  // sysfsNetRoot: the folder holding one sub-folder per interface.
  explicit TPosixNetworkInfo(std::string sysfsNetRoot = "/sys/class/net");

  std::string LocalIPAddress() override;
  std::string LocalMacAddress() override;

 private:
  std::string m_sysfsNetRoot;
};

}  // namespace solvane
