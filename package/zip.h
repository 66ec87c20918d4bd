// A zip archive written without a compression library: every entry stored
// as it is (method 0) with its CRC-32, as the zip format's APPNOTE.TXT
// (PKWARE, version 6.3.10, sections 4.3 and 4.4) lays it out, and read back
// by any unzip. Entries carry Unix modes, so that scripts stay executable.
#ifndef TARNWICK_PACKAGE_ZIP_H_
#define TARNWICK_PACKAGE_ZIP_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One file of an archive or a package folder: its path below the root,
// '/' between folders, and its bytes.
struct PackageFile {
  std::string path;
  std::string bytes;
  bool executable = false;  // mode 0755 rather than 0644
};

// Returns the CRC-32 of `bytes` (the polynomial of zip, gzip and PNG, reflected 0xEDB88320).
uint32_t crc32(std::string_view bytes);

// Returns the bytes of a zip archive of `files`, stored, in their order, each
// dated 1980-01-01 00:00 (the earliest DOS date), so that the same files
// always make the same archive. Requires fewer than 65535 files, each under
// 4 GiB and the whole under 4 GiB (no Zip64).
std::string zip_archive(const std::vector<PackageFile>& files);

// Returns true when `files` fit in zip_archive's limits; otherwise false with
// *why set.
bool fits_zip(const std::vector<PackageFile>& files, std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_ZIP_H_
