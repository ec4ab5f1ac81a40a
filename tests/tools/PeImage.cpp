#include "PeImage.h"

#include <cstring>

namespace {

constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kTextRva = 0x1000;
constexpr uint32_t kResourceRva = 0x2000;

void Put16(std::string& bytes, size_t at, uint32_t value) {
  if (bytes.size() < at + 2) bytes.resize(at + 2);
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

void Put64(std::string& bytes, size_t at, uint64_t value) {
  Put32(bytes, at, static_cast<uint32_t>(value));
  Put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// VS_VERSIONINFO with its fixed information and no children.
std::string VersionBlock(const CPeImageSpec& spec, uint32_t ms) {
  std::string block;
  Put16(block, 0, static_cast<uint32_t>(92 + spec.rootLengthChange));
  Put16(block, 2, spec.valueLength);
  Put16(block, 4, 0);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i <= std::strlen(key); ++i) Put16(block, 6 + i * 2, static_cast<unsigned char>(key[i]));
  Put16(block, 38, 0);
  const uint32_t fixed[13] = {spec.signature, 0x00010000, ms, spec.ls, ms, spec.ls, 0x3F, 0,
                              0x40004,        2,          0,  0,       0};
  for (size_t i = 0; i < 13; ++i) Put32(block, 40 + i * 4, fixed[i]);
  return block;
}

// One resource directory with its entries: {name or id, offset field}.
void PutDirectory(std::string& tree, size_t at, uint32_t named, uint32_t ids,
                  std::initializer_list<std::pair<uint32_t, uint32_t>> entries) {
  Put16(tree, at + 12, named);
  Put16(tree, at + 14, ids);
  size_t entry = at + 16;
  for (const auto& [name, value] : entries) {
    Put32(tree, entry, name);
    Put32(tree, entry + 4, value);
    entry += 8;
  }
}

constexpr uint32_t kSubdirectory = 0x80000000u;

// The resource section: the three directory levels, data entries, a string name and the data.
std::string ResourceSection(const CPeImageSpec& spec) {
  std::string tree(0x200, '\0');
  const uint32_t languages = spec.secondLanguage ? 2 : 1;
  if (spec.namedTypeFirst) {
    // Root: a string-named type (0x100 points at a length-prefixed UTF-16 name), then the type.
    PutDirectory(tree, 0x00, 1, 1,
                 {{kSubdirectory | 0x100, kSubdirectory | 0x30}, {spec.typeId, kSubdirectory | 0x30}});
    Put16(tree, 0x100, 1);
    Put16(tree, 0x102, 'X');
  } else {
    PutDirectory(tree, 0x00, 0, 1, {{spec.typeId, kSubdirectory | 0x30}});
  }
  PutDirectory(tree, 0x30, 0, 1, {{spec.nameId, kSubdirectory | 0x60}});
  if (spec.secondLanguage) {
    PutDirectory(tree, 0x60, 0, languages, {{0x0412, 0xA0}, {0x0409, 0xB0}});
  } else {
    PutDirectory(tree, 0x60, 0, languages, {{0x0409, 0xA0}});
  }
  const uint32_t size = static_cast<uint32_t>(92 + spec.dataSizeChange);
  Put32(tree, 0xA0, kResourceRva + 0x120);
  Put32(tree, 0xA4, size);
  Put32(tree, 0xB0, kResourceRva + 0x180);
  Put32(tree, 0xB4, size);
  const std::string first = VersionBlock(spec, spec.ms);
  const std::string second = VersionBlock(spec, spec.ms + 1);
  tree.replace(0x120, first.size(), first);
  tree.replace(0x180, second.size(), second);
  return tree;
}

}  // namespace

std::string BuildPeImage(const CPeImageSpec& spec) {
  std::string image(0x200, '\0');
  Put16(image, 0, 0x5A4D);
  Put32(image, 0x3C, kPeHeaderOffset);
  Put32(image, kPeHeaderOffset, 0x00004550);
  const size_t coff = kPeHeaderOffset + 4;
  const uint32_t optionalSize = spec.pe32Plus ? 240 : 224;
  Put16(image, coff, spec.pe32Plus ? 0x8664 : 0x014C);
  Put16(image, coff + 2, spec.resources ? 2 : 1);
  Put16(image, coff + 16, optionalSize);
  Put16(image, coff + 18, spec.pe32Plus ? 0x2022 : 0x2102);

  const std::string resources = spec.resources ? ResourceSection(spec) : std::string();
  const uint32_t imageSize =
      spec.resources ? AlignUp(kResourceRva + static_cast<uint32_t>(resources.size()), kSectionAlignment)
                     : kResourceRva;
  const size_t optional = coff + 20;
  Put16(image, optional, spec.pe32Plus ? 0x20B : 0x10B);
  Put32(image, optional + 4, kFileAlignment);  // size of code
  Put32(image, optional + 20, kTextRva);       // base of code
  size_t rest;
  if (spec.pe32Plus) {
    Put64(image, optional + 24, 0x180000000ull);
    rest = optional + 32;
  } else {
    Put32(image, optional + 24, kTextRva);  // base of data
    Put32(image, optional + 28, 0x10000000);
    rest = optional + 32;
  }
  Put32(image, rest, kSectionAlignment);
  Put32(image, rest + 4, kFileAlignment);
  Put16(image, rest + 8, 4);   // operating system version
  Put16(image, rest + 16, 4);  // subsystem version
  Put32(image, rest + 24, imageSize);
  Put32(image, rest + 28, 0x200);  // size of headers
  Put16(image, rest + 36, 2);      // GUI subsystem
  const size_t directories = optional + (spec.pe32Plus ? 112 : 96);
  Put32(image, directories - 4, spec.rvaCount);
  if (spec.resources) {
    Put32(image, directories + 16, kResourceRva + spec.resourceRvaChange);
    Put32(image, directories + 20, static_cast<uint32_t>(resources.size()));
  }

  size_t section = optional + optionalSize;
  const auto putSection = [&](const char* name, uint32_t rva, uint32_t size, uint32_t raw, uint32_t flags) {
    std::memcpy(&image[section], name, std::strlen(name));
    Put32(image, section + 8, size);
    Put32(image, section + 12, rva);
    Put32(image, section + 16, AlignUp(size, kFileAlignment));
    Put32(image, section + 20, raw);
    Put32(image, section + 36, flags);
    section += 40;
  };
  putSection(".text", kTextRva, kFileAlignment, 0x200, 0x60000020);
  if (spec.resources) {
    putSection(".rsrc", kResourceRva, static_cast<uint32_t>(resources.size()), kResourceFileOffset,
               0x40000040);
  }

  image.resize(0x400, '\0');
  image[0x200] = static_cast<char>(0xC3);  // ret
  image += resources;
  return image;
}
