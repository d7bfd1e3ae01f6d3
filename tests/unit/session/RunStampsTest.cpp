// Task IDs and SessionIDs never repeat on one machine: not within a
// process, not between processes sharing the settings file.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "../platform/TempFolder.h"
#include "platform/MemoryRegistry.h"
#include "qtbridge/QSettingsRegistry.h"
#include "session/DosDateTime.h"
#include "session/RunStamps.h"
#include "session/Unit_PublicInfo_Settings.h"

namespace solvane {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s) {
  return *FromLocalDateTime(TLocalDateTime{y, mo, d, h, mi, s, 0});
}

std::uint32_t Packed(DateTime t) { return DateTimeToDos(t); }

std::optional<std::string> Stored(IRegistry& r, TStampSeries series) {
  const std::string name = TRunStamps::SettingName(series);
  return r.ReadString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf(name),
                      TSettingsStore::ValueNameOf(name));
}

TEST(RunStamps, StepPastTheLastValueAnyUserOfTheSettingsGaveOut) {
  TMemoryRegistry registry;
  const DateTime now = At(2024, 5, 6, 10, 20, 30);
  const auto two = std::chrono::seconds(2);
  TRunStamps gui(&registry), cli(&registry);  // two programs, one settings store

  EXPECT_EQ(gui.Next(TStampSeries::TaskID, now), Packed(now));
  EXPECT_EQ(cli.Next(TStampSeries::TaskID, now), Packed(now + two));
  EXPECT_EQ(gui.Next(TStampSeries::TaskID, now), Packed(now + 2 * two));
  EXPECT_EQ(Stored(registry, TStampSeries::TaskID), std::to_string(Packed(now + 2 * two)));
  // Each series counts on its own; a taken value is stepped over.
  auto taken = [&](std::uint32_t v) { return v == Packed(now); };
  EXPECT_EQ(cli.Next(TStampSeries::SessionID, now, taken), Packed(now + two));
  // Later, the clock wins again.
  EXPECT_EQ(gui.Next(TStampSeries::SessionID, now + 10 * two), Packed(now + 10 * two));
}

TEST(RunStamps, StoredValuesThatCannotBeUsedAndAMissingStoreKeepValuesUnique) {
  const DateTime now = At(2024, 5, 6, 10, 20, 30);
  const std::string name = TRunStamps::SettingName(TStampSeries::TaskID);
  for (const std::string stored : {"", "x12", "-5", "99999999999", "4294967295"}) {
    TMemoryRegistry registry;
    registry.WriteString(TRegistryRoot::LocalMachine, TSettingsStore::KeyOf(name),
                         TSettingsStore::ValueNameOf(name), stored);
    TRunStamps stamps(&registry);
    EXPECT_EQ(stamps.Next(TStampSeries::TaskID, now), Packed(now)) << stored;
  }
  TMemoryRegistry unreachable;
  unreachable.SetUnavailable(true);
  TRunStamps stamps(&unreachable);
  const std::uint32_t first = stamps.Next(TStampSeries::TaskID, now);
  EXPECT_EQ(first, Packed(now));
  EXPECT_GT(stamps.Next(TStampSeries::TaskID, now), first);
}

// Several processes take IDs from one settings file at the same moment.
TEST(RunStamps, ProcessesSharingTheSettingsFileNeverGetTheSameValue) {
  test::TTempFolder temp;
  const std::string ini = temp / "Solvane.ini";
  const DateTime now = At(2024, 5, 6, 10, 20, 30);
  constexpr int kProcesses = 4, kEach = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TQSettingsRegistry registry(ini);
      TRunStamps stamps(&registry);
      std::ofstream out(temp / ("ids" + std::to_string(p)));
      for (int i = 0; i < kEach; ++i) out << stamps.Next(TStampSeries::TaskID, now) << "\n";
      out.close();
      _exit(out ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::uint32_t> ids;
  for (int p = 0; p < kProcesses; ++p) {
    std::istringstream in(test::ReadWholeFile(temp / ("ids" + std::to_string(p))));
    for (std::uint32_t id; in >> id;) EXPECT_TRUE(ids.insert(id).second) << "repeated " << id;
  }
  EXPECT_EQ(ids.size(), std::size_t{kProcesses * kEach});
}

}  // namespace
}  // namespace solvane
