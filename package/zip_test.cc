// The stored zip archives: CRC-32 against known values, and archives read
// back entry by entry, each CRC recomputed; and by python's zipfile when the
// machine has python3.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "package/zip.h"
#include "tests/cli_support.h"

namespace {

using tarnwick::PackageFile;

uint32_t le(const std::string& b, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

TEST(Zip, Crc32OfKnownTexts) {
  const std::pair<std::string, uint32_t> cases[] = {
      {"", 0},
      {"123456789", 0xCBF43926u},  // the check value of CRC-32/ISO-HDLC
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {std::string("\0", 1), 0xD202EF8Du},
  };
  for (const auto& [text, crc] : cases) EXPECT_EQ(tarnwick::crc32(text), crc) << text;
}

// Reads the archive's central directory back: each entry's name, its local
// header's stored bytes, their CRC and the Unix mode.
struct Entry {
  std::string name, bytes;
  uint32_t crc, mode;
};
std::vector<Entry> read_back(const std::string& z) {
  const size_t end = z.size() - 22;
  EXPECT_EQ(le(z, end, 4), 0x06054b50u);
  size_t at = le(z, end + 16, 4);
  std::vector<Entry> entries;
  for (uint32_t i = 0; i < le(z, end + 10, 2); ++i) {
    EXPECT_EQ(le(z, at, 4), 0x02014b50u);
    const uint32_t size = le(z, at + 20, 4), name = le(z, at + 28, 2), local = le(z, at + 42, 4);
    Entry e{z.substr(at + 46, name), "", le(z, at + 16, 4), le(z, at + 38, 4) >> 16};
    EXPECT_EQ(le(z, local, 4), 0x04034b50u);
    EXPECT_EQ(z.substr(local + 30, name), e.name);
    e.bytes = z.substr(local + 30 + name, size);
    entries.push_back(e);
    at += 46 + name;
  }
  return entries;
}

TEST(Zip, ReadBackEntryByEntry) {
  const std::vector<PackageFile> files = {
      {"setup.sh", "#!/bin/sh\n", true}, {"data/1.in", "3 3\n1 2 4\n"}, {"data/empty", ""}};
  const std::string z = tarnwick::zip_archive(files);
  const std::vector<Entry> entries = read_back(z);
  ASSERT_EQ(entries.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(entries[i].name, files[i].path);
    EXPECT_EQ(entries[i].bytes, files[i].bytes);
    EXPECT_EQ(entries[i].crc, tarnwick::crc32(files[i].bytes));
    EXPECT_EQ(entries[i].mode, files[i].executable ? 0100755u : 0100644u);
  }
  EXPECT_EQ(tarnwick::zip_archive(files), z) << "the same files make the same bytes";
  EXPECT_EQ(tarnwick::zip_archive({}).size(), 22u) << "an empty archive is its end record";
}

// python3's zipfile tests every CRC (testzip) and reads the modes back.
TEST(Zip, PythonReadsIt) {
  tarnwick_test::Scratch s;
  const std::vector<PackageFile> files = {{"run_autograder", "#!/bin/sh\nexit 0\n", true},
                                          {"data/points", "1 2.5 visible\n"}};
  s.file("a.zip", tarnwick::zip_archive(files));
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "for i in z.infolist(): print(i.filename, oct(i.external_attr >> 16), i.compress_type, "
      "z.read(i).decode().splitlines()[0])\n";
  tarnwick_test::Outcome o = tarnwick_test::run_program(
      "/bin/sh", {"-c", "command -v python3 >/dev/null || exit 77; python3 -c \"$1\" \"$2\"", "sh",
                  script, (s.dir() / "a.zip").string()},
      s);
  if (o.status == 77) GTEST_SKIP() << "no python3";
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "run_autograder 0o100755 0 #!/bin/sh\ndata/points 0o100644 0 1 2.5 visible\n");
}

}  // namespace
