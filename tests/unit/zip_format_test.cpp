#include <gtest/gtest.h>
#include <zlib.h>

#include "app/archive_io.h"
#include "app/zip_format.h"
#include "archive_test_util.h"

namespace velto {
namespace {

// Builds a stored archive in memory straight from the record builders.
std::string BuildArchive(size_t count, bool zip64_members) {
  std::string zip, central;
  const std::string data = "member data";
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
  for (size_t i = 0; i < count; ++i) {
    ZipMember m;
    m.name = "m" + std::to_string(i) + ".txt";
    m.method = kMethodStored;
    m.crc = crc;
    m.compressed_size = m.uncompressed_size = data.size();
    m.zip64_local = zip64_members;
    m.dos_time = (46u << 25) | (12u << 21) | (9u << 16);
    m.external_attributes = 0x20;
    m.local_header_offset = zip.size();
    zip += LocalHeaderBytes(m) + data;
    central += CentralEntryBytes(m);
  }
  const uint64_t offset = zip.size();
  return zip + central + EndRecordsBytes(count, offset, central.size());
}

TEST(ZipFormat, Zip64DecisionLeavesRoomForDeflateGrowth) {
  EXPECT_FALSE(NeedsZip64(0));
  EXPECT_FALSE(NeedsZip64(3000000000ull));
  EXPECT_TRUE(NeedsZip64(0xFFFFFFFFull));
  EXPECT_TRUE(NeedsZip64(0xFFFFFFFFull - 100000));  // incompressible data would overflow
}

TEST(ZipFormat, Zip64RecordsAreReadByPythonAndByOurReader) {
  if (!testutil::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  testutil::ScratchDir dir;
  // 70000 entries need the Zip64 end record; Zip64 local extras on every member.
  const std::string archive = BuildArchive(70000, true);
  testutil::WriteFile(dir / "z64.zip", archive);
  EXPECT_EQ(testutil::Run("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                          "i=z.infolist(); print(z.testzip(), len(i), i[69999].extract_version, i[5].file_size)\" '" +
                          (dir / "z64.zip") + "'"),
            "None 70000 45 11\n");
  MemoryRandomReader in(archive.data(), archive.size());
  std::vector<ZipMember> members;
  std::string error;
  ASSERT_TRUE(ReadZipDirectory(in, &members, &error)) << error;
  ASSERT_EQ(members.size(), 70000u);
  EXPECT_EQ(members[69999].name, "m69999.txt");
  EXPECT_EQ(members[3].uncompressed_size, 11u);
  uint64_t data = 0;
  ASSERT_TRUE(MemberDataOffset(in, members[3], &data, &error));
  EXPECT_EQ(archive.substr(data, 11), "member data");
}

TEST(ZipFormat, DamagedDirectoriesAreErrorsNotCrashes) {
  const std::string good = BuildArchive(3, false);
  std::vector<ZipMember> members;
  std::string error;
  {
    MemoryRandomReader in(good.data(), good.size());
    ASSERT_TRUE(ReadZipDirectory(in, &members, &error)) << error;
    EXPECT_EQ(members.size(), 3u);
  }
  std::vector<std::string> bad = {good.substr(0, good.size() - 1), good.substr(0, 21), std::string(100, 'x')};
  std::string count = good;
  count[count.size() - 12] = 0x7F;  // entry count far beyond the directory
  bad.push_back(count);
  std::string offset = good;
  offset[offset.size() - 4] = static_cast<char>(0xF0);  // directory offset beyond the file
  bad.push_back(offset);
  std::string name_len = good;
  name_len[name_len.find("PK\x01\x02") + 28] = static_cast<char>(0xFF);  // name runs past the directory
  bad.push_back(name_len);
  for (const auto& b : bad) {
    MemoryRandomReader in(b.data(), b.size());
    EXPECT_FALSE(ReadZipDirectory(in, &members, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace velto
