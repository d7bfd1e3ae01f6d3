#include <gtest/gtest.h>

#include "FakeEngineContext.h"
#include "TempTree.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

struct ListCase {
  const char* name;
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  std::string path;
  bool isFolder;
  bool passes;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class PatternListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(PatternListTest, DecidesAsThePatternClassesSay) {
  const ListCase& c = GetParam();
  EXPECT_EQ(PassesPatternLists(c.include, c.exclude, c.path, c.isFolder, nullptr), c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PatternListTest,
    ::testing::Values(
        // Every applying include pattern must hold: two extensions let no file pass.
        ListCase{"TwoIncludesDoc", {"*.doc", "*.xls"}, {}, "/a/b.doc", false, false},
        ListCase{"TwoIncludesXls", {"*.doc", "*.xls"}, {}, "/a/b.xls", false, false},
        ListCase{"TwoIncludesFolder", {"*.doc", "*.xls"}, {}, "/a", true, true},
        ListCase{"OneIncludeMatches", {"*.doc"}, {}, "/a/b.DOC", false, true},
        // One path-pattern include: every file passes, folders only when they hold it.
        ListCase{"PathIncludeFile", {"/Projects"}, {}, "/home/x.txt", false, true},
        ListCase{"PathIncludeFolderIn", {"/Projects"}, {}, "/home/Projects/a", true, true},
        ListCase{"PathIncludeFolderOut", {"/Projects"}, {}, "/home/other", true, false},
        ListCase{"PathIncludeExactCase", {"/Projects"}, {}, "/home/projects", true, false},
        // "~" is a name pattern: files holding it are out, folders never.
        ListCase{"TildeFile", {}, {"~"}, "/a/~b.txt", false, false},
        ListCase{"TildeOtherFile", {}, {"~"}, "/a/b.txt", false, true},
        ListCase{"TildeFolder", {}, {"~"}, "/a/~tmp", true, true},
        // "/Temp" is a path pattern: folders holding it are out, files never.
        ListCase{"TempFolder", {}, {"/Temp"}, "/home/Temp/x", true, false},
        ListCase{"TempFile", {}, {"/Temp"}, "/home/Temp/a.txt", false, true},
        ListCase{"TempOtherCase", {}, {"/Temp"}, "/home/temp", true, true},
        ListCase{"ColonIsAPathMark", {}, {"C:"}, "C:/docs", true, false},
        // "*.tmp" rejects files only, letter case ignored.
        ListCase{"TmpFile", {}, {"*.tmp"}, "/a/b.TMP", false, false},
        ListCase{"TmpFolder", {}, {"*.tmp"}, "/a/x.tmp", true, true},
        ListCase{"TmpNotAtEnd", {}, {"*.tmp"}, "/a/b.tmp.txt", false, true},
        // A full file path with a point is a name pattern: never a folder.
        ListCase{"FullPathFolder", {"/home/ann/report.doc"}, {}, "/home/ann", true, true},
        ListCase{"FullPathFile", {"/home/ann/report.doc"}, {}, "/home/ann/report.doc", false, true},
        ListCase{
            "FullPathOtherFile", {"/home/ann/report.doc"}, {}, "/home/ann/x.doc", false, false},
        // Without "*" a name pattern is an exact substring test.
        ListCase{"SubstringCase", {"Report"}, {}, "/a/report1.doc", false, false},
        ListCase{"SubstringHit", {"Report"}, {}, "/a/Report1.doc", false, true},
        ListCase{"QuestionWithoutStar", {"a?c"}, {}, "/x/abc.txt", false, false},
        // Wildcards: ?, sets, ranges, negated sets, case ignored.
        ListCase{"Question", {"*/?.txt"}, {}, "/a/b.txt", false, true},
        ListCase{"QuestionTooShort", {"*/?.txt"}, {}, "/a/bc.txt", false, false},
        ListCase{"QuestionWideCharacter", {"*/?.txt"}, {}, "/a/文.txt", false, true},
        ListCase{"Range", {"*[0-9].log"}, {}, "/a/b7.log", false, true},
        ListCase{"RangeMiss", {"*[0-9].log"}, {}, "/a/bx.log", false, false},
        ListCase{"NegatedRange", {"*[!a-c].txt"}, {}, "/x/d.txt", false, true},
        ListCase{"NegatedRangeCase", {"*[!a-c].txt"}, {}, "/x/B.txt", false, false},
        ListCase{"SetMembers", {"*.[dx]oc"}, {}, "/x/a.XOC", false, true},
        ListCase{"UnclosedSetIsLiteral", {"*[a.txt"}, {}, "/x/[a.txt", false, true},
        ListCase{"StarsBacktrack", {"*a*b*.c"}, {}, "/xaxxbyy.c", false, true},
        ListCase{"StarsBacktrackMiss", {"*a*b*.c"}, {}, "/xbxxayy.c", false, false},
        ListCase{"EmptyListsPass", {}, {}, "/anything", false, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(PatternPacing, PausesAfterEveryFifthPatternOfEachList) {
  int pauses = 0;
  const std::vector<std::string> include(11, "/never-applies-to-files");
  const std::vector<std::string> exclude(6, "*.none");
  EXPECT_TRUE(PassesPatternLists(include, exclude, "/a/b.txt", false, [&] { ++pauses; }));
  EXPECT_EQ(pauses, 3 + 2);  // positions 0, 5, 10 and 0, 5
}

class PolicyTest : public ::testing::Test {
 protected:
  void SetPolicy(std::int32_t maxFileSize, std::vector<std::string> include = {},
                 std::vector<std::string> exclude = {}) {
    TDefaultPolicy p;
    p.PolicyID = 7;
    p.MaxFileSize = maxFileSize;
    p.IncludeList = std::move(include);
    p.ExcludeList = std::move(exclude);
    ctx.Tasks().SetPolicy(p);
  }
  bool Passes(const std::string& path, bool isFolder) {
    return ctx.Tasks().PassesPolicy(ctx, path, isFolder);
  }
  testsupport::TFakeEngineContext ctx;
  testing::TTempTree tree;
};

TEST_F(PolicyTest, SizeLimitIsInclusiveAndNeverAppliesToFolders) {
  SetPolicy(1);
  EXPECT_TRUE(Passes(tree.File("exact.bin", 1048576), false));
  EXPECT_FALSE(Passes(tree.File("over.bin", 1048577), false));
  EXPECT_TRUE(Passes(tree.File("empty.bin", 0), false));
  EXPECT_TRUE(Passes(tree.Path("missing.bin"), false));
  const std::string folder = tree.Folder("big");
  tree.File("big/inside.bin", 5 * 1048576);
  EXPECT_TRUE(Passes(folder, true));
}

TEST_F(PolicyTest, SizeLimitIsFormedIn64Bits) {
  SetPolicy(3000);  // 3000 MiB lies beyond 2^31 bytes
  EXPECT_TRUE(Passes(tree.File("large.bin", 2500ull * 1048576), false));
  EXPECT_FALSE(Passes(tree.File("larger.bin", 3000ull * 1048576 + 1), false));
}

TEST_F(PolicyTest, NoLimitAndPatternsApplyTogether) {
  SetPolicy(-1, {}, {"*.mp3", "/cache"});
  EXPECT_TRUE(Passes(tree.File("a.bin", 3 * 1048576), false));
  EXPECT_FALSE(Passes(tree.Path("song.MP3"), false));
  EXPECT_FALSE(Passes(tree.Folder("x/cache"), true));
  ctx.Tasks().ClearTasks();  // clearing the list resets the policy
  EXPECT_TRUE(Passes(tree.Path("song.MP3"), false));
  EXPECT_EQ(ctx.Tasks().Policy().PolicyID, -1);
}

}  // namespace
}  // namespace solvane
