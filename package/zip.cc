// Stored zip archives: a local header and the bytes of each entry, then the
// central directory and its end record.
#include "package/zip.h"

#include <array>

namespace tarnwick {
namespace {

// The table of the reflected polynomial, one entry a byte value.
std::array<uint32_t, 256> crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

// Appends v in little-endian order, in `bytes` bytes.
void put(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

constexpr uint32_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
constexpr uint32_t kVersion = 20;                        // 2.0: folders, stored entries
constexpr uint32_t kMadeByUnix = (3 << 8) | kVersion;    // host 3, Unix: modes in the high bits

// Appends the fields a local header and a central entry share, from "version
// needed" to the name's length (APPNOTE 4.3.7 and 4.3.12).
void put_common(std::string& out, const PackageFile& f, uint32_t crc) {
  put(out, kVersion, 2);
  put(out, 0, 2);  // flags: none (sizes known before the bytes)
  put(out, 0, 2);  // method: stored
  put(out, 0, 2);  // time 00:00
  put(out, kDosDate, 2);
  put(out, crc, 4);
  put(out, static_cast<uint32_t>(f.bytes.size()), 4);  // compressed size
  put(out, static_cast<uint32_t>(f.bytes.size()), 4);  // uncompressed size
  put(out, static_cast<uint32_t>(f.path.size()), 2);
}

}  // namespace

uint32_t crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> table = crc_table();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool fits_zip(const std::vector<PackageFile>& files, std::string* why) {
  uint64_t total = 22;
  for (const PackageFile& f : files) total += 30 + 46 + 2 * f.path.size() + f.bytes.size();
  if (files.size() < 0xFFFF && total < 0xFFFFFFFFu) return true;
  *why = "the package is too large for a zip archive without Zip64 (" +
         std::to_string(files.size()) + " files, " + std::to_string(total) + " bytes)";
  return false;
}

std::string zip_archive(const std::vector<PackageFile>& files) {
  std::string out, central;
  for (const PackageFile& f : files) {
    const uint32_t crc = crc32(f.bytes), offset = static_cast<uint32_t>(out.size());
    put(out, 0x04034b50, 4);  // local file header
    put_common(out, f, crc);
    put(out, 0, 2);  // extra field length
    out += f.path;
    out += f.bytes;
    put(central, 0x02014b50, 4);  // central directory header
    put(central, kMadeByUnix, 2);
    put_common(central, f, crc);
    put(central, 0, 2);  // extra field length
    put(central, 0, 2);  // comment length
    put(central, 0, 2);  // disk number
    put(central, 0, 2);  // internal attributes
    put(central, (f.executable ? 0100755u : 0100644u) << 16, 4);  // a regular file's Unix mode
    put(central, offset, 4);
    central += f.path;
  }
  const uint32_t at = static_cast<uint32_t>(out.size());
  out += central;
  put(out, 0x06054b50, 4);  // end of central directory
  put(out, 0, 2);           // this disk
  put(out, 0, 2);           // the disk the directory starts on
  put(out, static_cast<uint32_t>(files.size()), 2);
  put(out, static_cast<uint32_t>(files.size()), 2);
  put(out, static_cast<uint32_t>(central.size()), 4);
  put(out, at, 4);
  put(out, 0, 2);  // comment length
  return out;
}

}  // namespace tarnwick
