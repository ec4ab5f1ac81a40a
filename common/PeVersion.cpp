#include "PeVersion.h"

#include <cstring>

namespace {

constexpr uint32_t kResourceVersion = 16;  // RT_VERSION
constexpr uint32_t kVersionInfoId = 1;     // VS_VERSION_INFO
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;  // VS_FIXEDFILEINFO
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;

// Little-endian reads that fail instead of reading past the end.
class CReader {
 public:
  CReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  // Offsets are 64-bit so that no sum of two 32-bit fields of the file wraps around.
  bool Has(uint64_t offset, uint64_t count) const { return offset <= m_size && count <= m_size - offset; }
  bool U16(uint64_t offset, uint32_t& value) const {
    if (!Has(offset, 2)) return false;
    value = m_data[offset] | (m_data[offset + 1] << 8);
    return true;
  }
  bool U32(uint64_t offset, uint32_t& value) const {
    if (!Has(offset, 4)) return false;
    value = static_cast<uint32_t>(m_data[offset]) | (static_cast<uint32_t>(m_data[offset + 1]) << 8) |
            (static_cast<uint32_t>(m_data[offset + 2]) << 16) |
            (static_cast<uint32_t>(m_data[offset + 3]) << 24);
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
};

// Where the bytes of an address of the loaded image lie in the file; false for an address no
// section holds in its file data.
class CImageMap {
 public:
  CImageMap(const CReader& reader, uint64_t sectionTable, uint32_t count)
      : m_reader(reader), m_table(sectionTable), m_count(count) {}

  // The file offset of `rva` and how many bytes of its section follow it in the file.
  bool FileSpan(uint32_t rva, uint64_t& offset, uint32_t& available) const {
    for (uint32_t i = 0; i < m_count; ++i) {
      const uint64_t at = m_table + static_cast<uint64_t>(i) * 40;
      uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
      if (!m_reader.U32(at + 8, virtualSize) || !m_reader.U32(at + 12, virtualAddress) ||
          !m_reader.U32(at + 16, rawSize) || !m_reader.U32(at + 20, rawOffset)) {
        return false;
      }
      // Bytes past the raw data are zero-filled memory, not file bytes.
      const uint32_t mapped = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
      if (rva < virtualAddress || rva - virtualAddress >= mapped) continue;
      offset = static_cast<uint64_t>(rawOffset) + (rva - virtualAddress);
      available = mapped - (rva - virtualAddress);
      return m_reader.Has(offset, available);
    }
    return false;
  }

 private:
  const CReader& m_reader;
  uint64_t m_table;
  uint32_t m_count;
};

// The resource directory's entry of that identifier (`id`), or its first entry (`first`); the
// value is the entry's offset field.
bool FindEntry(const CReader& reader, uint64_t directory, bool first, uint32_t id, uint32_t& entryValue) {
  uint32_t named = 0;
  uint32_t ids = 0;
  if (!reader.U16(directory + 12, named) || !reader.U16(directory + 14, ids)) return false;
  const uint32_t total = named + ids;
  for (uint32_t i = first ? 0 : named; i < total; ++i) {
    const uint64_t entry = directory + 16 + static_cast<uint64_t>(i) * 8;
    uint32_t name = 0;
    if (!reader.U32(entry, name) || !reader.U32(entry + 4, entryValue)) return false;
    if (first || name == id) return true;
  }
  return false;
}

}  // namespace

bool ReadPeFileVersion(const uint8_t* data, size_t size, uint32_t& ms, uint32_t& ls) {
  const CReader reader(data, size);
  uint32_t magic = 0;
  uint32_t peOffset = 0;
  if (!reader.U16(0, magic) || magic != 0x5A4D || !reader.U32(0x3C, peOffset)) return false;
  uint32_t signature = 0;
  if (!reader.U32(peOffset, signature) || signature != 0x00004550) return false;
  const uint64_t coff = static_cast<uint64_t>(peOffset) + 4;
  uint32_t sectionCount = 0;
  uint32_t optionalSize = 0;
  if (!reader.U16(coff + 2, sectionCount) || !reader.U16(coff + 16, optionalSize)) return false;
  const uint64_t optional = coff + 20;
  uint32_t optionalMagic = 0;
  if (!reader.U16(optional, optionalMagic)) return false;
  // The data directories follow the optional header's fixed part, whose size depends on the
  // image's kind.
  uint64_t directories = 0;
  if (optionalMagic == 0x10B) {
    directories = optional + 96;
  } else if (optionalMagic == 0x20B) {
    directories = optional + 112;
  } else {
    return false;
  }
  uint32_t directoryCount = 0;
  if (!reader.U32(directories - 4, directoryCount) || directoryCount < 3) return false;
  const uint64_t resourceDirectoryEntry = directories + 2 * 8;
  if (resourceDirectoryEntry + 8 > optional + optionalSize) return false;
  uint32_t resourceRva = 0;
  uint32_t resourceSize = 0;
  if (!reader.U32(resourceDirectoryEntry, resourceRva) ||
      !reader.U32(resourceDirectoryEntry + 4, resourceSize) || resourceRva == 0 || resourceSize == 0) {
    return false;
  }

  const CImageMap image(reader, optional + optionalSize, sectionCount);
  uint64_t resources = 0;
  uint32_t resourceBytes = 0;
  if (!image.FileSpan(resourceRva, resources, resourceBytes)) return false;
  // Offsets inside the resource tree count from its root and stay inside its section.
  const CReader tree(data + static_cast<size_t>(resources), resourceBytes);

  // Type, then name, then language: three levels, each entry of the first two a subdirectory.
  uint32_t value = 0;
  if (!FindEntry(tree, 0, false, kResourceVersion, value) || (value & kSubdirectoryFlag) == 0) return false;
  if (!FindEntry(tree, value & ~kSubdirectoryFlag, false, kVersionInfoId, value) ||
      (value & kSubdirectoryFlag) == 0) {
    return false;
  }
  if (!FindEntry(tree, value & ~kSubdirectoryFlag, true, 0, value) || (value & kSubdirectoryFlag) != 0)
    return false;
  uint32_t dataRva = 0;
  uint32_t dataSize = 0;
  if (!tree.U32(value, dataRva) || !tree.U32(value + 4, dataSize)) return false;
  uint64_t block = 0;
  uint32_t blockBytes = 0;
  if (!image.FileSpan(dataRva, block, blockBytes) || blockBytes < dataSize) return false;

  // VS_VERSIONINFO: length, value length, type, the key in UTF-16 with its zero, padding to a
  // 32-bit boundary, then the fixed information.
  const CReader info(data + static_cast<size_t>(block), dataSize);
  uint32_t rootLength = 0;
  uint32_t valueLength = 0;
  if (!info.U16(0, rootLength) || !info.U16(2, valueLength)) return false;
  uint64_t key = 6;
  for (uint32_t unit = 1; unit != 0; key += 2) {
    if (!info.U16(key, unit)) return false;
  }
  const uint64_t fixed = (key + 3) & ~static_cast<uint64_t>(3);
  const uint64_t rootEnd = rootLength < dataSize ? rootLength : dataSize;
  if (valueLength < kFixedInfoSize || fixed > rootEnd || rootEnd - fixed < kFixedInfoSize) return false;
  uint32_t fixedSignature = 0;
  if (!info.U32(fixed, fixedSignature) || fixedSignature != kFixedSignature) return false;
  return info.U32(fixed + 8, ms) && info.U32(fixed + 12, ls);
}
