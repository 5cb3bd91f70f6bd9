// The processor name report and the CPUID capability tests, on recorded
// register values.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "collectors/processor/cpu_name.h"

namespace orvanta {
namespace {

// CPUID answers as a test records them; unrecorded leaves answer zeros.
class RecordedCpuid : public CpuidSource {
 public:
  bool available = true;
  std::map<uint32_t, CpuidRegisters> leaves;
  mutable std::vector<uint32_t> asked;

  bool Available() const override { return available; }
  CpuidRegisters Query(uint32_t leaf) const override {
    asked.push_back(leaf);
    auto it = leaves.find(leaf);
    return it == leaves.end() ? CpuidRegisters{} : it->second;
  }
};

// The first four bytes of |text| (zero bytes past its end), the first in the low byte.
uint32_t Pack(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < text.size(); ++i) value |= uint32_t{static_cast<uint8_t>(text[i])} << (8 * i);
  return value;
}

// Leaf 0 for a 12-character vendor string.
CpuidRegisters VendorRegisters(std::string_view vendor) {
  return {2, Pack(vendor.substr(0, 4)), Pack(vendor.substr(8, 4)), Pack(vendor.substr(4, 4))};
}

// Records leaves 0x80000000 and 0x80000002 to 0x80000004 for |brand|, padded
// with zero bytes to 48.
void RecordBrand(RecordedCpuid& cpuid, std::string_view brand) {
  std::string bytes(brand);
  bytes.resize(48, '\0');
  cpuid.leaves[0x80000000] = {0x80000004, 0, 0, 0};
  for (uint32_t i = 0; i < 3; ++i) {
    const std::string_view leaf = std::string_view(bytes).substr(16 * i, 16);
    cpuid.leaves[0x80000002 + i] = {Pack(leaf.substr(0)), Pack(leaf.substr(4)), Pack(leaf.substr(8)),
                                    Pack(leaf.substr(12))};
  }
}

constexpr uint32_t Signature(int family, int model, int stepping) {
  return static_cast<uint32_t>(family << 8 | model << 4 | stepping);
}

// A processor without extended leaves.
RecordedCpuid Processor(std::string_view vendor, uint32_t signature, uint32_t brand_index = 0) {
  RecordedCpuid cpuid;
  cpuid.leaves[0] = VendorRegisters(vendor);
  cpuid.leaves[1] = {signature, brand_index, 0, 0};
  return cpuid;
}

CString NameReport(const CpuidSource& cpuid) {
  CString report;
  WriteCPUNameReport(report, cpuid);
  return report;
}

std::wstring Decode(const std::wstring& vendor, int family, int model, int brand_index = 0) {
  const RecordedCpuid no_leaves;
  return DecodeProcessorName(vendor, family, model, 0, brand_index, no_leaves);
}

TEST(CpuidText, RegisterBytesAreSignExtendedLowByteFirst) {
  EXPECT_EQ(RegisterText(Pack("Genu")), L"Genu");
  EXPECT_EQ(RegisterText(0x80FF7F00), (std::wstring{L'\0', L'\x7F', L'\xFFFF', L'\xFF80'}));
  EXPECT_EQ(RegisterText(0), std::wstring(4, L'\0'));
  EXPECT_EQ(RegisterText(0x00410042), (std::wstring{L'B', L'\0', L'A', L'\0'}));
}

TEST(CpuidText, TrimRemovesTheSixWhiteSpaceCharactersAtBothEnds) {
  EXPECT_EQ(TrimCpuidText(L" \t\n\v\f\rIntel(R)  CPU \t\n\v\f\r"), L"Intel(R)  CPU");
  EXPECT_EQ(TrimCpuidText(L" \t "), L"");
  EXPECT_EQ(TrimCpuidText(L""), L"");
  // Sign-extended 0xA0 is not white space.
  EXPECT_EQ(TrimCpuidText(L"\xFFA0x\xFFA0"), L"\xFFA0x\xFFA0");
}

TEST(CpuidText, TrimEndsAtTheFirstZeroCharacter) {
  using namespace std::string_literals;
  EXPECT_EQ(TrimCpuidText(L"  Athlon  \0  rest  \0 "s), L"Athlon\0  rest  \0 "s);
  EXPECT_EQ(TrimCpuidText(L"\0  Athlon  "s), L"\0  Athlon  "s);
  EXPECT_EQ(TrimCpuidText(L"   \0\0"s), L"\0\0"s);
}

TEST(CpuidText, VendorIsEbxEdxEcxAndBrandIsFortyEightBytesInLeafOrder) {
  RecordedCpuid cpuid;
  cpuid.leaves[0] = {0xD, 0x756E6547, 0x6C65746E, 0x49656E69};
  EXPECT_EQ(ReadVendorString(cpuid), L"GenuineIntel");
  cpuid.leaves[0] = VendorRegisters("UMC UMC UMC ");
  EXPECT_EQ(ReadVendorString(cpuid), L"UMC UMC UMC");

  cpuid.leaves[0x80000002] = {Pack("  AB"), Pack("CDEF"), Pack("GHIJ"), Pack("KLMN")};
  cpuid.leaves[0x80000003] = {Pack("OPQR"), Pack("STUV"), Pack("WXYZ"), Pack("abcd")};
  cpuid.leaves[0x80000004] = {Pack("efgh"), Pack("ijkl"), Pack("mnop"), Pack("q ")};
  EXPECT_EQ(ReadBrandString(cpuid), std::wstring(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopq\0\0", 45));
}

TEST(CpuCapabilities, TimeStampCounterIsLeafOneEdxBitFourWhenCpuidExists) {
  RecordedCpuid cpuid;
  cpuid.leaves[1] = {0, 0, 0, 0x10};
  EXPECT_TRUE(HasTimeStampCounter(cpuid));
  cpuid.leaves[1] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFEF};
  EXPECT_FALSE(HasTimeStampCounter(cpuid));
  cpuid.leaves[1] = {0, 0, 0, 0x10};
  cpuid.available = false;
  EXPECT_FALSE(HasTimeStampCounter(cpuid));
}

TEST(CpuCapabilities, ExtendedLeavesExistAboveHighestLeaf0x80000000) {
  RecordedCpuid cpuid;
  EXPECT_FALSE(HasExtendedCPUID(cpuid));
  cpuid.leaves[0x80000000] = {0x80000000, 0, 0, 0};
  EXPECT_FALSE(HasExtendedCPUID(cpuid));
  cpuid.leaves[0x80000000] = {0x7FFFFFFF, 0, 0, 0};
  EXPECT_FALSE(HasExtendedCPUID(cpuid));
  cpuid.leaves[0x80000000] = {0x80000001, 0, 0, 0};
  EXPECT_TRUE(HasExtendedCPUID(cpuid));
  cpuid.leaves[0x80000000] = {0xFFFFFFFF, 0, 0, 0};
  EXPECT_TRUE(HasExtendedCPUID(cpuid));
}

TEST(VendorTable, EveryVendorReachesItsDecoderAndDefaultName) {
  struct ReportCase {
    std::string_view vendor;
    uint32_t signature;
    const wchar_t* report;
  };
  const ReportCase cases[] = {
      {"GenuineIntel", Signature(6, 7, 3), L"Pentium 3 Family 6 Model 7 Stepping 3"},
      {"GenuineIntel", Signature(3, 0, 0), L"IntelCPU Family 3 Model 0 Stepping 0"},
      {"UMC UMC UMC ", Signature(4, 2, 0), L"GreenCPU U5S Family 4 Model 2 Stepping 0"},
      {"UMC UMC UMC ", Signature(4, 3, 0), L"UMCCPU Family 4 Model 3 Stepping 0"},
      // A zero byte ends the vendor text as it ends any other.
      {std::string_view("UMC UMC UMC\0", 12), Signature(4, 1, 0), L"GreenCPU U5D Family 4 Model 1 Stepping 0"},
      {"AuthenticAMD", Signature(5, 8, 12), L"K6-2 Family 5 Model 8 Stepping 12"},
      {"AuthenticAMD", Signature(6, 5, 0), L"AMDCPU Family 6 Model 5 Stepping 0"},
      {"CyrixInstead", Signature(6, 0, 1), L"CyrixM2 6x86MX Family 6 Model 0 Stepping 1"},
      {"CyrixInstead", Signature(5, 0, 0), L"CyrixCPU Family 5 Model 0 Stepping 0"},
      {"NexGenDriven", Signature(5, 0, 4), L"NexGen Nx586 Family 5 Model 0 Stepping 4"},
      {"NexGenDriven", Signature(5, 1, 0), L"NexGenCPU Family 5 Model 1 Stepping 0"},
      {"CentaurHauls", Signature(5, 9, 1), L"C3 Family 5 Model 9 Stepping 1"},
      {"CentaurHauls", Signature(6, 9, 8), L"CentaurCPU Family 6 Model 9 Stepping 8"},
      {"RiseRiseRise", Signature(5, 2, 0), L"mP6 Family 5 Model 2 Stepping 0"},
      {"RiseRiseRise", Signature(5, 1, 0), L"RiseTechnologyCPU Family 5 Model 1 Stepping 0"},
      {"GenuineTMx86", Signature(5, 4, 3), L"Crusoe(TM3X00/TM5X00) Family 5 Model 4 Stepping 3"},
      {"GenuineTMx86", Signature(6, 4, 0), L"TransmetaCPU Family 6 Model 4 Stepping 0"},
      {"Geode by NSC", Signature(5, 4, 1), L"NationalSemiconductorCPU Family 5 Model 4 Stepping 1"},
      {"Geode by NSC", Signature(5, 10, 2), L"NationalSemiconductorCPU Family 5 Model 10 Stepping 2"},
      {"genuineintel", Signature(5, 4, 3), L"Unknown Family 5 Model 4 Stepping 3"},
      {"GENUINEINTEL", Signature(5, 4, 3), L"Unknown Family 5 Model 4 Stepping 3"},
      {"HygonGenuine", Signature(15, 0, 0), L"Unknown Family 15 Model 0 Stepping 0"},
      {"UMC UMC UMCX", Signature(4, 2, 0), L"Unknown Family 4 Model 2 Stepping 0"},
      {std::string_view("\0\0\0\0\0\0\0\0\0\0\0\0", 12), Signature(4, 0, 0), L"Unknown Family 4 Model 0 Stepping 0"},
  };
  for (const ReportCase& c : cases) EXPECT_EQ(NameReport(Processor(c.vendor, c.signature)), c.report) << c.report;
}

TEST(VendorTable, NationalSemiconductorHasOneNameForEveryFamilyAndModel) {
  for (int family = 0; family < 16; ++family)
    for (int model = 0; model < 16; ++model)
      EXPECT_EQ(Decode(L"Geode by NSC", family, model), L"NationalSemiconductorCPU") << family << L"/" << model;
}

// Processors as they were sold, by the signature that their CPUID gives.
TEST(ProcessorNames, WorkedExamplesOfKnownProcessors) {
  const struct {
    std::string_view vendor;
    uint32_t signature;
    std::wstring name;
  } processors[] = {
      {"GenuineIntel", 0x435, L"486DX2"},                 // i486DX2
      {"GenuineIntel", 0x480, L"486DX4"},                 // IntelDX4
      {"GenuineIntel", 0x525, L"Pentium"},                // Pentium (P54C)
      {"GenuineIntel", 0x619, L"Pentium Pro"},            // Pentium Pro
      {"GenuineIntel", 0x634, L"Pentium 2"},              // Pentium II (Klamath)
      {"GenuineIntel", 0x665, L"Celeron"},                // Celeron (Mendocino)
      {"GenuineIntel", 0x683, L"Pentium 3"},              // Pentium III (Coppermine), brand index 0
      {"GenuineIntel", 0x700, L"Itanium (IA-64)"},        // Itanium, through its IA-32 execution layer
      {"GenuineIntel", 0xF34, L"Pentium 4"},              // Pentium 4 (Prescott)
      {"UMC UMC UMC ", 0x410, L"GreenCPU U5D"},           // UMC Green CPU U5D
      {"AuthenticAMD", 0x4E4, L"AMD 5x86"},               // Am5x86
      {"AuthenticAMD", 0x511, L"K5 5k86(PR120, PR133)"},  // K5 PR133
      {"AuthenticAMD", 0x562, L"K6"},                     // K6 (Model 6)
      {"AuthenticAMD", 0x591, L"K6-3"},                   // K6-III
      {"AuthenticAMD", 0x5D0, L"K6-2+ or K6-3+"},         // K6-2+
      {"AuthenticAMD", 0x642, L"Athlon(TB core)"},        // Athlon (Thunderbird)
      {"AuthenticAMD", 0x671, L"Duron(MG core)"},         // Duron (Morgan)
      {"AuthenticAMD", 0x6A0, L"AthlonXP(BT core)"},      // Athlon XP (Barton)
      {"CyrixInstead", 0x440, L"GX.GXm"},                 // MediaGX
      {"CyrixInstead", 0x520, L"CyrixM1 6x86"},           // 6x86
      {"CyrixInstead", 0x662, L"VIA Cyrix 3"},            // Cyrix III (Joshua)
      {"CentaurHauls", 0x541, L"C6"},                     // WinChip C6
      {"CentaurHauls", 0x585, L"C2"},                     // WinChip 2
      {"RiseRiseRise", 0x500, L"mP6"},                    // mP6 iDragon
  };
  for (const auto& p : processors) {
    const CString report = NameReport(Processor(p.vendor, p.signature));
    EXPECT_TRUE(report.starts_with(p.name + L" Family ")) << report;
  }
}

TEST(IntelNames, CeleronBrandIndexesAreOneThreeSevenAndTen) {
  for (int family_model : {0x68, 0x6A, 0x6B, 0xF0, 0xF1, 0xF2}) {
    const int family = family_model >> 4;
    const int model = family_model & 0xF;
    const wchar_t* other = family == 6 ? L"Pentium 3" : L"Pentium 4";
    for (int brand_index = 0; brand_index < 256; ++brand_index) {
      const bool celeron = brand_index == 1 || brand_index == 3 || brand_index == 7 || brand_index == 10;
      EXPECT_EQ(Decode(L"GenuineIntel", family, model, brand_index), celeron ? L"Celeron" : other)
          << family << L"/" << model << L" index " << brand_index;
    }
  }
  EXPECT_EQ(Decode(L"GenuineIntel", 15, 3, 10), L"Pentium 4");
  EXPECT_EQ(Decode(L"GenuineIntel", 6, 7, 10), L"Pentium 3");
}

TEST(IntelNames, CeleronBrandIndexIsTheLowByteOfLeafOneEbx) {
  EXPECT_EQ(NameReport(Processor("GenuineIntel", Signature(15, 2, 9), 0x0102030A)),
            L"Celeron Family 15 Model 2 Stepping 9");
  EXPECT_EQ(NameReport(Processor("GenuineIntel", Signature(15, 2, 9), 0x0A0A0A09)),
            L"Pentium 4 Family 15 Model 2 Stepping 9");
}

// Intel family 6 model 5 parts are told apart by their level-2 cache descriptor.
class Level2CacheTest : public testing::Test {
 protected:
  std::wstring NameWithLeaf2(CpuidRegisters leaf2) {
    cpuid_.leaves[2] = leaf2;
    return DecodeProcessorName(L"GenuineIntel", 6, 5, 0, 0, cpuid_);
  }
  RecordedCpuid cpuid_;
};

TEST_F(Level2CacheTest, AnyRegisterByteFromTheSetGivesPentium2) {
  EXPECT_EQ(NameWithLeaf2({0x00000001, 0, 0, 0x00000043}), L"Pentium 2");
  EXPECT_EQ(NameWithLeaf2({0x00000001, 0, 0, 0x43000000}), L"Pentium 2");
  EXPECT_EQ(NameWithLeaf2({0x00004101, 0, 0, 0}), L"Pentium 2");
  EXPECT_EQ(NameWithLeaf2({0x7C000001, 0, 0, 0}), L"Pentium 2");
  EXPECT_EQ(NameWithLeaf2({0x00000001, 0x00820000, 0, 0}), L"Pentium 2");
  EXPECT_EQ(NameWithLeaf2({0x00000001, 0, 0x00001A00, 0}), L"Pentium 2");
  EXPECT_EQ(cpuid_.asked, (std::vector<uint32_t>{2, 2, 2, 2, 2, 2}));
}

TEST_F(Level2CacheTest, WithoutADescriptorTheNameIsCeleron) {
  EXPECT_EQ(NameWithLeaf2({0x03020101, 0x0000000C, 0x00000000, 0x0C040201}), L"Celeron");
  EXPECT_EQ(NameWithLeaf2({}), L"Celeron");
  // The low byte of EAX is the iteration count, whatever its value.
  EXPECT_EQ(NameWithLeaf2({0x00000040, 0, 0, 0}), L"Celeron");
  EXPECT_EQ(NameWithLeaf2({0x00000041, 0, 0, 0}), L"Celeron");
  EXPECT_EQ(NameWithLeaf2({0x00000043, 0, 0, 0}), L"Celeron");
}

TEST_F(Level2CacheTest, DescriptorSetIsExactlyTheListedLevel2Caches) {
  const std::vector<int> level2 = {0x1A, 0x39, 0x3B, 0x3C, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45,
                                   0x79, 0x7A, 0x7B, 0x7C, 0x7E, 0x81, 0x82, 0x83, 0x84, 0x85};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    const bool listed = std::find(level2.begin(), level2.end(), static_cast<int>(byte)) != level2.end();
    EXPECT_EQ(NameWithLeaf2({0x00000001, 0, byte << 16, 0}), listed ? L"Pentium 2" : L"Celeron") << byte;
  }
}

TEST_F(Level2CacheTest, IsAskedOnlyForIntelFamily6Model5) {
  cpuid_.leaves[2] = {0x00000001, 0, 0, 0x43};
  EXPECT_EQ(DecodeProcessorName(L"GenuineIntel", 6, 3, 0, 0, cpuid_), L"Pentium 2");
  EXPECT_EQ(DecodeProcessorName(L"GenuineIntel", 6, 8, 0, 1, cpuid_), L"Celeron");
  EXPECT_EQ(DecodeProcessorName(L"AuthenticAMD", 6, 5, 0, 0, cpuid_), L"AMDCPU");
  EXPECT_EQ(DecodeProcessorName(L"CyrixInstead", 6, 5, 0, 0, cpuid_), L"VIA Cyrix 3");
  EXPECT_TRUE(cpuid_.asked.empty());

  RecordedCpuid processor = Processor("GenuineIntel", Signature(6, 5, 2));
  processor.leaves[2] = {0x00000001, 0, 0, 0x43};
  EXPECT_EQ(NameReport(processor), L"Pentium 2 Family 6 Model 5 Stepping 2");
  EXPECT_EQ(std::count(processor.asked.begin(), processor.asked.end(), 2u), 1);
}

TEST(CPUNameReport, WithoutCpuidIsEmpty) {
  RecordedCpuid cpuid = Processor("GenuineIntel", Signature(5, 4, 3));
  RecordBrand(cpuid, "Intel(R) Pentium(R) CPU");
  cpuid.available = false;
  EXPECT_EQ(NameReport(cpuid), L"");
  EXPECT_TRUE(cpuid.asked.empty());
}

TEST(CPUNameReport, DecodedNameWithoutExtendedLeaves) {
  EXPECT_EQ(NameReport(Processor("GenuineIntel", Signature(5, 4, 3))), L"MMX Pentium Family 5 Model 4 Stepping 3");
  RecordedCpuid cpuid = Processor("GenuineIntel", Signature(5, 4, 3));
  RecordBrand(cpuid, "Brand that is not read");
  cpuid.leaves[0x80000000] = {0x80000000, 0, 0, 0};
  EXPECT_EQ(NameReport(cpuid), L"MMX Pentium Family 5 Model 4 Stepping 3");
}

TEST(CPUNameReport, BrandStringWithTrailingZeroBytes) {
  RecordedCpuid cpuid = Processor("AuthenticAMD", 0x00040FB2);
  RecordBrand(cpuid, "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+");
  EXPECT_EQ(NameReport(cpuid), L"AMD Athlon(tm) 64 X2 Dual Core Processor 4200+ Family 15 Model 11 Stepping 2");
}

TEST(CPUNameReport, BrandStringIsTrimmedAndEndsAtItsFirstZeroByte) {
  RecordedCpuid cpuid = Processor("GenuineIntel", 0x00000F29);
  RecordBrand(cpuid, "              Intel(R) Pentium(R) 4 CPU 2.80GHz");
  EXPECT_EQ(NameReport(cpuid), L"Intel(R) Pentium(R) 4 CPU 2.80GHz Family 15 Model 2 Stepping 9");
  RecordBrand(cpuid, std::string_view(" \tMobile CPU  \0 more text", 25));
  EXPECT_EQ(NameReport(cpuid), L"Mobile CPU Family 15 Model 2 Stepping 9");
}

TEST(CPUNameReport, EmptyBrandStringLeavesTheReportStartingWithTheBlank) {
  RecordedCpuid cpuid = Processor("GenuineIntel", Signature(6, 15, 11));
  RecordBrand(cpuid, "");
  EXPECT_EQ(NameReport(cpuid), L" Family 6 Model 15 Stepping 11");
  RecordBrand(cpuid, "      \t ");
  EXPECT_EQ(NameReport(cpuid), L" Family 6 Model 15 Stepping 11");
  RecordBrand(cpuid, std::string_view("\0Intel(R) Core(TM)2 CPU", 23));
  EXPECT_EQ(NameReport(cpuid), L" Family 6 Model 15 Stepping 11");
  // Extended leaves up to 0x80000001 only: the brand leaves are read all the same.
  cpuid.leaves.erase(0x80000002);
  cpuid.leaves.erase(0x80000003);
  cpuid.leaves.erase(0x80000004);
  cpuid.leaves[0x80000000] = {0x80000001, 0, 0, 0};
  EXPECT_EQ(NameReport(cpuid), L" Family 6 Model 15 Stepping 11");
}

TEST(CPUNameReport, BrandStringStandsWhateverTheVendor) {
  RecordedCpuid cpuid = Processor("HygonGenuine", 0x00900F01);
  RecordBrand(cpuid, "Hygon C86 3185  8-core Processor");
  EXPECT_EQ(NameReport(cpuid), L"Hygon C86 3185  8-core Processor Family 15 Model 0 Stepping 1");
  cpuid = Processor("GenuineIntel", Signature(5, 4, 3));
  RecordBrand(cpuid, "Custom \xA0name");
  EXPECT_EQ(NameReport(cpuid), L"Custom \xFFA0name Family 5 Model 4 Stepping 3");
}

TEST(CPUNameReport, FamilyAndModelAreTheBaseFieldsOnly) {
  // Extended family 0xFF, extended model 0xF, processor type 3: none of them counts.
  EXPECT_EQ(NameReport(Processor("GenuineIntel", 0x0FFF3F27, 10)), L"Celeron Family 15 Model 2 Stepping 7");
  EXPECT_EQ(NameReport(Processor("AuthenticAMD", 0xF0A60F81)), L"AMDCPU Family 15 Model 8 Stepping 1");
}

TEST(LiveCpuid, AnswersForTheProcessorItRunsOn) {
  const LiveCpuid cpuid;
  ASSERT_TRUE(IsCPUIDAvailable());
  ASSERT_TRUE(cpuid.Available());
  // Every x86-64 processor has leaf 1, a time-stamp counter and a printable vendor string.
  EXPECT_GE(cpuid.Query(0).eax, 1u);
  EXPECT_TRUE(HasTimeStampCounter(cpuid));
  const std::wstring vendor = ReadVendorString(cpuid);
  EXPECT_FALSE(vendor.empty());
  for (wchar_t c : vendor) EXPECT_TRUE(c >= L' ' && c < 0x7F) << vendor;
  const uint32_t signature = cpuid.Query(1).eax;
  const CString report = NameReport(cpuid);
  const CString numbers = FormatText(L" Family %d Model %d Stepping %d", static_cast<int>(signature >> 8 & 0xF),
                                     static_cast<int>(signature >> 4 & 0xF), static_cast<int>(signature & 0xF));
  EXPECT_TRUE(report.ends_with(numbers)) << report;
}

}  // namespace
}  // namespace orvanta
