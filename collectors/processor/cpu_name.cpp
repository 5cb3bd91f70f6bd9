#include "collectors/processor/cpu_name.h"

#include <algorithm>
#include <initializer_list>
#include <span>
#include <string_view>

namespace orvanta {
namespace {

constexpr uint32_t kVendorLeaf = 0;
constexpr uint32_t kSignatureLeaf = 1;
constexpr uint32_t kCacheDescriptorLeaf = 2;
constexpr uint32_t kHighestExtendedLeaf = 0x80000000;
constexpr uint32_t kBrandLeaves[] = {0x80000002, 0x80000003, 0x80000004};

constexpr uint32_t kTimeStampCounterBit = 1u << 4;

// A set of models, one bit per model number 0 to 15.
constexpr uint32_t Models(std::initializer_list<int> models) {
  uint32_t bits = 0;
  for (int model : models) bits |= 1u << model;
  return bits;
}
constexpr uint32_t kAnyModel = ~0u;

// The further test that some entries depend on.
enum class Test {
  kNone,
  kCeleronBrand,  // the brand index is one of kCeleronBrandIndexes
  kLevel2Cache,   // leaf 2 lists a level-2 cache descriptor
};

// One entry of a vendor's family and model table: |name| for the family and
// any of the models, or, when the entry has a test that fails, |otherwise|.
struct NameRow {
  int family;
  uint32_t models;
  const wchar_t* name;
  Test test = Test::kNone;
  const wchar_t* otherwise = nullptr;
};

constexpr NameRow kIntelNames[] = {
    {4, Models({0}), L"486DX-25/33"},
    {4, Models({1}), L"486DX-50"},
    {4, Models({2}), L"486SX"},
    {4, Models({3}), L"486DX2"},
    {4, Models({4}), L"486SL"},
    {4, Models({5}), L"486SX2"},
    {4, Models({7}), L"486DX2WB"},
    {4, Models({8}), L"486DX4"},
    {4, Models({9}), L"486DX4WB"},
    {4, Models({15}), L"refer to extended model"},
    {5, Models({0, 1, 2, 3, 7}), L"Pentium"},
    {5, Models({4, 8}), L"MMX Pentium"},
    {6, Models({0}), L"Pentium Pro A-step"},
    {6, Models({1}), L"Pentium Pro"},
    {6, Models({3}), L"Pentium 2"},
    {6, Models({5}), L"Pentium 2", Test::kLevel2Cache, L"Celeron"},
    {6, Models({6}), L"Celeron"},
    {6, Models({7}), L"Pentium 3"},
    {6, Models({8, 10, 11}), L"Celeron", Test::kCeleronBrand, L"Pentium 3"},
    {7, kAnyModel, L"Itanium (IA-64)"},
    {15, Models({0, 1, 2}), L"Celeron", Test::kCeleronBrand, L"Pentium 4"},
    {15, Models({3}), L"Pentium 4"},
};

constexpr NameRow kUmcNames[] = {
    {4, Models({1}), L"GreenCPU U5D"},
    {4, Models({2}), L"GreenCPU U5S"},
};

constexpr NameRow kAmdNames[] = {
    {4, Models({3}), L"AMD 486DX2"},
    {4, Models({7}), L"AMD 486DX2WB"},
    {4, Models({8}), L"AMD 486DX4"},
    {4, Models({9}), L"AMD 486DX4WB"},
    {4, Models({14}), L"AMD 5x86"},
    {4, Models({15}), L"AMD 5x86WB"},
    {5, Models({0}), L"K5 SSA5"},
    {5, Models({1}), L"K5 5k86(PR120, PR133)"},
    {5, Models({2}), L"K5 5k86(PR166)"},
    {5, Models({3}), L"K5 5k86(PR200)"},
    {5, Models({6, 7}), L"K6"},
    {5, Models({8}), L"K6-2"},
    {5, Models({9}), L"K6-3"},
    {5, Models({13}), L"K6-2+ or K6-3+"},
    {6, Models({1, 2}), L"Athlon"},
    {6, Models({3}), L"Duron(SF core)"},
    {6, Models({4}), L"Athlon(TB core)"},
    {6, Models({6}), L"AthlonXP(PM core)"},
    {6, Models({7}), L"Duron(MG core)"},
    {6, Models({8}), L"AthlonXP(TH core)"},
    {6, Models({10}), L"AthlonXP(BT core)"},
};

constexpr NameRow kCyrixNames[] = {
    {4, Models({4}), L"GX.GXm"},
    {4, Models({9}), L"Cyrix 5x86"},
    {5, Models({2}), L"CyrixM1 6x86"},
    {6, Models({0}), L"CyrixM2 6x86MX"},
    {6, Models({5, 6, 7, 8}), L"VIA Cyrix 3"},
};

constexpr NameRow kNexGenNames[] = {
    {5, Models({0}), L"NexGen Nx586"},
};

constexpr NameRow kCentaurNames[] = {
    {5, Models({4}), L"C6"},
    {5, Models({8}), L"C2"},
    {5, Models({9}), L"C3"},
};

constexpr NameRow kRiseNames[] = {
    {5, Models({0, 2}), L"mP6"},
};

constexpr NameRow kTransmetaNames[] = {
    {5, Models({4}), L"Crusoe(TM3X00/TM5X00)"},
};

// A vendor identification string, its family and model table, and the name
// given when the table has no entry.
struct VendorRow {
  std::wstring_view vendor;
  std::span<const NameRow> names;
  const wchar_t* default_name;
};

// Searched in order; the first equal vendor string wins.
constexpr VendorRow kVendors[] = {
    {L"GenuineIntel", kIntelNames, L"IntelCPU"},
    {L"UMC UMC UMC", kUmcNames, L"UMCCPU"},
    {L"AuthenticAMD", kAmdNames, L"AMDCPU"},
    {L"CyrixInstead", kCyrixNames, L"CyrixCPU"},
    {L"NexGenDriven", kNexGenNames, L"NexGenCPU"},
    {L"CentaurHauls", kCentaurNames, L"CentaurCPU"},
    {L"RiseRiseRise", kRiseNames, L"RiseTechnologyCPU"},
    {L"GenuineTMx86", kTransmetaNames, L"TransmetaCPU"},
    {L"Geode by NSC", {}, L"NationalSemiconductorCPU"},
};
constexpr const wchar_t* kUnknownVendorName = L"Unknown";

constexpr int kCeleronBrandIndexes[] = {1, 3, 7, 10};

constexpr uint8_t kLevel2CacheDescriptors[] = {
    0x1A, 0x39, 0x3B, 0x3C, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45,
    0x79, 0x7A, 0x7B, 0x7C, 0x7E, 0x81, 0x82, 0x83, 0x84, 0x85,
};

bool IsCeleronBrandIndex(int brand_index) {
  return std::ranges::find(kCeleronBrandIndexes, brand_index) != std::end(kCeleronBrandIndexes);
}

// Whether leaf 2 lists a level-2 cache descriptor. The low byte of EAX is the
// leaf's iteration count and never counts as a descriptor.
bool HasLevel2CacheDescriptor(const CpuidSource& cpuid) {
  CpuidRegisters registers = cpuid.Query(kCacheDescriptorLeaf);
  registers.eax |= 0xFF;
  for (uint32_t value : {registers.eax, registers.ebx, registers.ecx, registers.edx}) {
    for (int shift = 0; shift < 32; shift += 8) {
      const auto descriptor = static_cast<uint8_t>(value >> shift);
      if (std::ranges::find(kLevel2CacheDescriptors, descriptor) != std::end(kLevel2CacheDescriptors)) return true;
    }
  }
  return false;
}

bool Passes(Test test, int brand_index, const CpuidSource& cpuid) {
  switch (test) {
    case Test::kNone:
      return true;
    case Test::kCeleronBrand:
      return IsCeleronBrandIndex(brand_index);
    case Test::kLevel2Cache:
      return HasLevel2CacheDescriptor(cpuid);
  }
  return true;
}

bool Matches(const NameRow& row, int family, int model) {
  if (row.family != family) return false;
  return row.models == kAnyModel || (model >= 0 && model < 32 && (row.models >> model & 1));
}

// The text up to its first zero character.
std::wstring_view UpToFirstZero(const std::wstring& text) { return std::wstring_view(text.c_str()); }

}  // namespace

bool HasTimeStampCounter(const CpuidSource& cpuid) {
  return cpuid.Available() && (cpuid.Query(kSignatureLeaf).edx & kTimeStampCounterBit) != 0;
}

bool HasExtendedCPUID(const CpuidSource& cpuid) {
  return cpuid.Query(kHighestExtendedLeaf).eax > kHighestExtendedLeaf;
}

std::wstring RegisterText(uint32_t value) {
  std::wstring text;
  for (int shift = 0; shift < 32; shift += 8) {
    const auto byte = static_cast<int8_t>(static_cast<uint8_t>(value >> shift));
    text += static_cast<wchar_t>(static_cast<int16_t>(byte));
  }
  return text;
}

std::wstring TrimCpuidText(const std::wstring& text) {
  const std::wstring rest = TrimLeadingWhiteSpace(text);
  const size_t zero = std::min(rest.find(L'\0'), rest.size());
  size_t end = zero;
  while (end > 0 && IsWhiteSpace(rest[end - 1])) --end;
  return rest.substr(0, end) + rest.substr(zero);
}

std::wstring ReadVendorString(const CpuidSource& cpuid) {
  const CpuidRegisters registers = cpuid.Query(kVendorLeaf);
  return TrimCpuidText(RegisterText(registers.ebx) + RegisterText(registers.edx) + RegisterText(registers.ecx));
}

std::wstring ReadBrandString(const CpuidSource& cpuid) {
  std::wstring brand;
  for (uint32_t leaf : kBrandLeaves) {
    const CpuidRegisters registers = cpuid.Query(leaf);
    for (uint32_t value : {registers.eax, registers.ebx, registers.ecx, registers.edx}) brand += RegisterText(value);
  }
  return TrimCpuidText(brand);
}

std::wstring DecodeProcessorName(const std::wstring& vendor, int family, int model, int /*stepping*/,
                                 int brand_index, const CpuidSource& cpuid) {
  const std::wstring_view vendor_text = UpToFirstZero(vendor);
  const auto vendor_row = std::ranges::find(kVendors, vendor_text, &VendorRow::vendor);
  if (vendor_row == std::end(kVendors)) return kUnknownVendorName;
  for (const NameRow& row : vendor_row->names) {
    if (!Matches(row, family, model)) continue;
    return Passes(row.test, brand_index, cpuid) ? row.name : row.otherwise;
  }
  return vendor_row->default_name;
}

void WriteCPUNameReport(CString& report, const CpuidSource& cpuid) {
  if (!cpuid.Available()) return;
  const std::wstring vendor = ReadVendorString(cpuid);
  const CpuidRegisters signature = cpuid.Query(kSignatureLeaf);
  const int family = static_cast<int>(signature.eax >> 8 & 0xF);
  const int model = static_cast<int>(signature.eax >> 4 & 0xF);
  const int stepping = static_cast<int>(signature.eax & 0xF);
  const int brand_index = static_cast<int>(signature.ebx & 0xFF);
  if (HasExtendedCPUID(cpuid))
    report += UpToFirstZero(ReadBrandString(cpuid));
  else
    report += DecodeProcessorName(vendor, family, model, stepping, brand_index, cpuid);
  AppendFormat(report, L" Family %d Model %d Stepping %d", family, model, stepping);
}

}  // namespace orvanta
