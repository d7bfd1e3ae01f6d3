#include "platform/NetworkInfo.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "TempFolder.h"

namespace solvane {
namespace {

using test::TTempFolder;

// A fake sysfs net folder: one sub-folder per interface.
class FakeSysfs {
 public:
  void Add(const std::string& name, const std::string& ifIndex, const std::string& address) {
    if (!ifIndex.empty()) m_root.WriteFile(name + "/ifindex", ifIndex + "\n");
    m_root.WriteFile(name + "/address", address + "\n");
  }
  std::string Mac() { return TPosixNetworkInfo(m_root.Path()).LocalMacAddress(); }

 private:
  TTempFolder m_root;
};

TEST(PosixNetworkInfo, FirstNonZeroAdapterInIfIndexOrderIsFormatted) {
  FakeSysfs sysfs;
  sysfs.Add("lo", "1", "00:00:00:00:00:00");
  sysfs.Add("aaa", "10", "11:22:33:44:55:66");  // first by name, last by index
  sysfs.Add("zeth", "2", "00:0c:29:3a:5b:7c");
  sysfs.Add("wlan", "9", "de:ad:be:ef:00:01");
  EXPECT_EQ(sysfs.Mac(), "00-0C-29-3A-5B-7C");
}

TEST(PosixNetworkInfo, SkipsAddressesThatAreNotSixBytes) {
  FakeSysfs sysfs;
  sysfs.Add("ib0", "2",
            "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0a:bc:de");  // InfiniBand
  sysfs.Add("tun0", "3", "");
  sysfs.Add("bad", "4", "zz:00:00:00:00:01");
  sysfs.Add("eth0", "5", "AA:bb:CC:dd:EE:0f");
  EXPECT_EQ(sysfs.Mac(), "AA-BB-CC-DD-EE-0F");
}

TEST(PosixNetworkInfo, InterfaceWithoutIndexComesLast) {
  FakeSysfs sysfs;
  sysfs.Add("a-noindex", "", "02:00:00:00:00:01");
  sysfs.Add("eth0", "7", "02:00:00:00:00:02");
  EXPECT_EQ(sysfs.Mac(), "02-00-00-00-00-02");
}

TEST(PosixNetworkInfo, EmptyWhenNoAdapterHasAnAddress) {
  FakeSysfs onlyZero;
  onlyZero.Add("lo", "1", "00:00:00:00:00:00");
  EXPECT_EQ(onlyZero.Mac(), "");
  EXPECT_EQ(TPosixNetworkInfo("/nonexistent/sysfs/net").LocalMacAddress(), "");
}

TEST(PosixNetworkInfo, LocalAddressIsEmptyOrDottedDecimal) {
  std::string ip = TPosixNetworkInfo().LocalIPAddress();
  in_addr parsed{};
  EXPECT_TRUE(ip.empty() || ::inet_pton(AF_INET, ip.c_str(), &parsed) == 1) << ip;
}

}  // namespace
}  // namespace solvane
