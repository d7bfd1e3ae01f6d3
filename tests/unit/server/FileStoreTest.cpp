#include "StoreValue.h"
#include "storage/FileStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../platform/TempFolder.h"
#include "storage/DataDirectory.h"

namespace solvane::server {
namespace {

// The file blob store, with placing failing on request (a full disk).
class TFlakyBlobs : public IBlobStore {
 public:
  explicit TFlakyBlobs(TFileBlobStore& real) : m_real(real) {}
  bool failAdopt = false;
  BlobPlacement Place(const std::filesystem::path& f, const std::string& h, bool recorded,
                      TBlobSync& sync) override {
    return failAdopt ? BlobPlacement::kFailed : m_real.Place(f, h, recorded, sync);
  }
  BlobPlacement PlaceBytes(std::string_view b, const std::string& h, bool recorded,
                           TBlobSync& sync) override {
    return failAdopt ? BlobPlacement::kFailed : m_real.PlaceBytes(b, h, recorded, sync);
  }
  bool Unplace(const std::string& h, const std::filesystem::path& f) override {
    return m_real.Unplace(h, f);
  }
  bool Sync(const TBlobSync& sync) override { return m_real.Sync(sync); }
  bool Has(const std::string& h) const override { return m_real.Has(h); }
  bool Read(const std::string& h, std::uint64_t o, std::size_t s, std::string& out) const override {
    return m_real.Read(h, o, s, out);
  }
  std::optional<std::uint64_t> Size(const std::string& h) const override { return m_real.Size(h); }
  bool Remove(const std::string& h) override { return m_real.Remove(h); }

 private:
  TFileBlobStore& m_real;
};

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Statement(dir.Db(), "INSERT INTO users(code, pwd_hash, space_mb) VALUES('u', '-', 100)").Run();
  }
  TUploadSegment Segment(const std::string& content, std::int64_t offset, std::string_view data) {
    return {store,     "C:/d", "f.bin", static_cast<std::int64_t>(content.size()),
            946164070, offset, data};
  }
  std::string ReadAll(const TVersion& v) {
    std::string all, seg;
    for (std::int64_t order = 1; files.ReadSegment(v, order, seg) && !seg.empty(); ++order)
      all += seg;
    return all;
  }

  test::TTempFolder temp;
  TDataDirectory dir{temp.Path()};
  TFlakyBlobs blobs{dir.Blobs()};
  TFileStore files{dir.Db(), blobs, dir.Staging()};
  TStoreRef store{"u", 100};
};

TEST_F(FileStoreTest, RewrittenSegmentIsHashedAsStoredNotAsFirstSent) {
  const std::string a(kSegmentSize, 'a'), b1(kSegmentSize, 'b'), b2(kSegmentSize, 'B'), c = "tail";
  const std::string content = a + b2 + c;
  EXPECT_EQ(files.Upload(Segment(content, 0, a)), UploadOutcome::kStaged);
  EXPECT_EQ(files.Upload(Segment(content, kSegmentSize, b1)), UploadOutcome::kStaged);
  EXPECT_EQ(files.Upload(Segment(content, kSegmentSize, b2)), UploadOutcome::kStaged);
  EXPECT_EQ(files.Upload(Segment(content, 2 * kSegmentSize, c)), UploadOutcome::kStored);
  auto v = Must(files.NewestVersion(store, "C:/d", "f.bin"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sha256, Sha256Hex(content));
  EXPECT_EQ(ReadAll(*v), content);
}

TEST_F(FileStoreTest, FailedBlobStoreKeepsTheStagedBytesAndStoresNoVersion) {
  const std::string content = std::string(kSegmentSize, 'x') + "yz";
  EXPECT_EQ(files.Upload(Segment(content, 0, std::string_view(content).substr(0, kSegmentSize))),
            UploadOutcome::kStaged);
  blobs.failAdopt = true;
  const std::string_view last = std::string_view(content).substr(kSegmentSize);
  EXPECT_EQ(files.Upload(Segment(content, kSegmentSize, last)), UploadOutcome::kIoError);
  EXPECT_FALSE(Must(files.NewestVersion(store, "C:/d", "f.bin")));
  EXPECT_TRUE(Must(files.List(store, "")).empty()) << "not even its folders";
  // Everything is staged; the client is still asked for the last segment,
  // whose arrival completes the file.
  EXPECT_EQ(files.ResumePosition(store, "C:/d", "f.bin", 2 + kSegmentSize, 946164070),
            kSegmentSize);
  blobs.failAdopt = false;
  EXPECT_EQ(files.Upload(Segment(content, kSegmentSize, last)), UploadOutcome::kStored);
  auto v = Must(files.NewestVersion(store, "C:/d", "f.bin"));
  ASSERT_TRUE(v);
  EXPECT_EQ(ReadAll(*v), content);
}

// An earlier attempt's staged part is dropped when the whole file then comes
// in one piece: it must not be resumed later.
TEST_F(FileStoreTest, AWholeFileInOnePieceReplacesWhatWasStagedOfIt) {
  const std::string content = std::string(kSegmentSize, 'p') + "rest";
  const std::string_view first = std::string_view(content).substr(0, kSegmentSize);
  EXPECT_EQ(files.Upload(Segment(content, 0, first)), UploadOutcome::kStaged);
  const TStagingKey key{"u", 100, "C:/d", "f.bin", static_cast<std::int64_t>(content.size()),
                        946164070};
  ASSERT_EQ(dir.Staging().StagedLength(key), kSegmentSize);
  EXPECT_EQ(files.Upload(Segment(content, 0, content)), UploadOutcome::kStored);
  EXPECT_EQ(dir.Staging().StagedLength(key), 0u);
  auto v = Must(files.NewestVersion(store, "C:/d", "f.bin"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->sha256, Sha256Hex(content));
  EXPECT_EQ(ReadAll(*v), content);
}

// A blob file that no version ever recorded (a crash between moving it in
// and its sync can leave one with lost bytes) is replaced by the upload's
// bytes; a recorded blob is kept and its file not rewritten.
TEST_F(FileStoreTest, UnrecordedBlobInPlaceIsReplacedRecordedOneIsReused) {
  const std::string content = "the real bytes";
  const auto blobPath = dir.Blobs().PathOf(Sha256Hex(content));
  std::filesystem::create_directories(blobPath.parent_path());
  { std::ofstream(blobPath) << std::string(content.size(), '\0'); }

  ASSERT_EQ(files.Upload(Segment(content, 0, content)), UploadOutcome::kStored);
  auto v = Must(files.NewestVersion(store, "C:/d", "f.bin"));
  ASSERT_TRUE(v);
  EXPECT_EQ(ReadAll(*v), content);

  const auto placed = std::filesystem::last_write_time(blobPath);
  TUploadSegment again = Segment(content, 0, content);
  again.name = "copy.bin";
  ASSERT_EQ(files.Upload(again), UploadOutcome::kStored);
  EXPECT_EQ(std::filesystem::last_write_time(blobPath), placed);
  auto copy = Must(files.NewestVersion(store, "C:/d", "copy.bin"));
  ASSERT_TRUE(copy);
  EXPECT_EQ(ReadAll(*copy), content);
}

}  // namespace
}  // namespace solvane::server
