#include "platform/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace solvane {
namespace {

constexpr auto kMachine = TRegistryRoot::LocalMachine;
constexpr auto kUser = TRegistryRoot::CurrentUser;

TEST(MemoryRegistry, OpeningWithoutCreateFindsOnlyExistingKeys) {
  TMemoryRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kMachine, "Software\\A", false));
  EXPECT_FALSE(reg.KeyExists(kMachine, "Software\\A"));
  EXPECT_TRUE(reg.OpenKey(kMachine, "Software\\A", true));
  EXPECT_TRUE(reg.OpenKey(kMachine, "Software\\A", false));
  EXPECT_FALSE(reg.OpenKey(kUser, "Software\\A", false)) << "roots are separate";
}

TEST(MemoryRegistry, ValuesAreReadWrittenAndDeletedPerKeyAndName) {
  TMemoryRegistry reg;
  EXPECT_EQ(reg.ReadString(kMachine, "K", "v"), std::nullopt);
  ASSERT_TRUE(reg.WriteString(kMachine, "K", "v", "one"));
  EXPECT_TRUE(reg.KeyExists(kMachine, "K")) << "writing creates the key";
  ASSERT_TRUE(reg.WriteString(kMachine, "K", "v", "two"));
  EXPECT_EQ(reg.ReadString(kMachine, "K", "v"), "two");
  EXPECT_EQ(reg.ReadString(kMachine, "K", "V"), std::nullopt) << "names keep their case";
  EXPECT_EQ(reg.ReadString(kMachine, "K2", "v"), std::nullopt);
  EXPECT_TRUE(reg.DeleteValue(kMachine, "K", "v"));
  EXPECT_FALSE(reg.DeleteValue(kMachine, "K", "v"));
  EXPECT_EQ(reg.ReadString(kMachine, "K", "v"), std::nullopt);
  EXPECT_TRUE(reg.KeyExists(kMachine, "K")) << "deleting a value keeps its key";
}

TEST(MemoryRegistry, UnavailableStoreFailsEveryOperation) {
  TMemoryRegistry reg;
  ASSERT_TRUE(reg.WriteString(kMachine, "K", "v", "x"));
  reg.SetUnavailable(true);
  EXPECT_FALSE(reg.OpenKey(kMachine, "K", false));
  EXPECT_FALSE(reg.OpenKey(kMachine, "New", true));
  EXPECT_EQ(reg.ReadString(kMachine, "K", "v"), std::nullopt);
  EXPECT_FALSE(reg.WriteString(kMachine, "K", "v", "y"));
  EXPECT_FALSE(reg.DeleteValue(kMachine, "K", "v"));
  reg.SetUnavailable(false);
  EXPECT_EQ(reg.ReadString(kMachine, "K", "v"), "x");
}

}  // namespace
}  // namespace solvane
