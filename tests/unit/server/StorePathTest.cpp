#include "handlers/StorePath.h"

#include <gtest/gtest.h>

namespace solvane::server {
namespace {

TEST(StorePath, ClientFoldersBecomeStorePathsOrAreRefused) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"C:\\docs\\sub", "C:/docs/sub"},
      {"c:\\docs\\", "C:/docs"},
      {"C:", "C:"},
      {"C:\\", "C:"},
      {"/", "/"},
      {"/home/ann/", "/home/ann"},
      {"\\Foxmail\\12\\", "/Foxmail/12"},
      {"/home/a:b/c d", "/home/a:b/c d"},
      {"", std::nullopt},
      {"docs", std::nullopt},
      {"C", std::nullopt},
      {"CD:/x", std::nullopt},
      {"1:/x", std::nullopt},
      {"C:docs", std::nullopt},
      {"C:/docs/..", std::nullopt},
      {"C:/../x", std::nullopt},
      {"/./x", std::nullopt},
      {"C:/a//b", std::nullopt},
      {"C://", std::nullopt},
      {"\\\\server\\share", std::nullopt},
      {"C:/a\nb", std::nullopt},
      {"C:/a\x7f", std::nullopt},
      {"C:/x</RECORDSET>", std::nullopt},
      {"C:/" + std::string(256, 'a'), std::nullopt},
      {"C:/" + std::string(5000, 'a'), std::nullopt},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(NormaliseFolder(in), out) << in;
}

TEST(StorePath, ObjectNamesAreSingleCleanComponents) {
  for (const char* good : {"a.txt", "...", "a b", "报告.doc", "C:"})
    EXPECT_TRUE(IsValidObjectName(good)) << good;
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a\tb"})
    EXPECT_FALSE(IsValidObjectName(bad)) << bad;
  EXPECT_FALSE(IsValidObjectName(std::string(256, 'n')));
}

TEST(StorePath, JoinAndSplitAreInverse) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"", "C:", "C:"},
      {"", "/", "/"},
      {"C:", "docs", "C:/docs"},
      {"/", "home", "/home"},
      {"C:/docs", "a.txt", "C:/docs/a.txt"}};
  for (const auto& [folder, name, path] : cases) {
    EXPECT_EQ(JoinPath(folder, name), path);
    EXPECT_EQ(SplitPath(path), std::make_pair(folder, name)) << path;
  }
}

}  // namespace
}  // namespace solvane::server
