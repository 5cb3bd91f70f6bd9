// The shader, Direct3D level, video driver, display mode and video memory
// reports from runtimes and figures that the tests make up.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "collectors/graphics/direct3d.h"
#include "collectors/graphics/display_modes.h"
#include "collectors/graphics/video_memory.h"

namespace orvanta {
namespace {

// Runtimes as a test describes them; a runtime left unset is missing.
class FakeRuntimes : public Direct3DRuntimes {
 public:
  struct Direct3D {
    std::optional<ShaderVersionWords> shaders;
    std::optional<AdapterDriver> driver;
  };
  // (driver type, feature level) pairs that can be created.
  using Devices = std::set<std::pair<UINT, UINT>>;

  std::optional<Direct3D> direct3d9, direct3d8;
  std::optional<Devices> direct3d10_1, direct3d10;
  std::vector<std::wstring> loads;  // the libraries asked for, in order

  std::unique_ptr<Direct3DRuntime> LoadDirect3D9() override { return Load(L"d3d9", direct3d9); }
  std::unique_ptr<Direct3D8Runtime> LoadDirect3D8() override { return Load(L"d3d8", direct3d8); }
  std::unique_ptr<Direct3D10Runtime> LoadDirect3D10_1() override { return Load10(L"d3d10_1", direct3d10_1); }
  std::unique_ptr<Direct3D10Runtime> LoadDirect3D10() override { return Load10(L"d3d10", direct3d10); }

 private:
  class Runtime : public Direct3D8Runtime {
   public:
    explicit Runtime(Direct3D facts) : facts_(std::move(facts)) {}
    std::optional<ShaderVersionWords> HardwareShaderVersions() override { return facts_.shaders; }
    std::optional<AdapterDriver> DefaultAdapterDriver() override { return facts_.driver; }

   private:
    Direct3D facts_;
  };
  class Runtime10 : public Direct3D10Runtime {
   public:
    explicit Runtime10(Devices devices) : devices_(std::move(devices)) {}
    bool CanCreateDevice(UINT driver_type, UINT level) override { return devices_.count({driver_type, level}) > 0; }

   private:
    Devices devices_;
  };

  std::unique_ptr<Direct3D8Runtime> Load(const wchar_t* name, const std::optional<Direct3D>& facts) {
    loads.push_back(name);
    return facts ? std::make_unique<Runtime>(*facts) : nullptr;
  }
  std::unique_ptr<Direct3D10Runtime> Load10(const wchar_t* name, const std::optional<Devices>& devices) {
    loads.push_back(name);
    return devices ? std::make_unique<Runtime10>(*devices) : nullptr;
  }
};

std::wstring Shader(FakeRuntimes& runtimes, ShaderKind kind) {
  CString report;
  WriteShaderVersionReport(report, kind, runtimes);
  return report;
}

std::wstring Unified(FakeRuntimes& runtimes) {
  CString report;
  WriteUnifiedShaderReport(report, runtimes);
  return report;
}

TEST(ShaderVersionText, TakesBits8To15AndBits0To7Only) {
  const struct {
    DWORD word;
    const wchar_t* text;
  } cases[] = {
      {0xFFFE0300, L"3.0(DirectX9)"}, {0x00000000, L"0.0(DirectX9)"}, {0xFFFF0201, L"2.1(DirectX9)"},
      {0x0000FFFF, L"255.255(DirectX9)"}, {0x00000014, L"0.20(DirectX9)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShaderVersionText(c.word, L"DirectX9"), c.text);
}

TEST(ShaderVersionReport, AsksDirect3D9ThenDirect3D8) {
  FakeRuntimes both;
  both.direct3d9 = FakeRuntimes::Direct3D{ShaderVersionWords{0xFFFE0300, 0xFFFF0200}, std::nullopt};
  both.direct3d8 = FakeRuntimes::Direct3D{ShaderVersionWords{0xFFFE0101, 0xFFFF0104}, std::nullopt};
  EXPECT_EQ(Shader(both, ShaderKind::kVertex), L"3.0(DirectX9)");
  EXPECT_EQ(Shader(both, ShaderKind::kPixel), L"2.0(DirectX9)");
  EXPECT_EQ(both.loads, (std::vector<std::wstring>{L"d3d9", L"d3d9"}));

  // No shaders at all is still a figure, and Direct3D 8 is not asked.
  FakeRuntimes none;
  none.direct3d9 = FakeRuntimes::Direct3D{ShaderVersionWords{0xFFFE0000, 0xFFFF0000}, std::nullopt};
  EXPECT_EQ(Shader(none, ShaderKind::kVertex), L"0.0(DirectX9)");
  EXPECT_EQ(none.loads, std::vector<std::wstring>{L"d3d9"});

  FakeRuntimes no_caps9 = both;
  no_caps9.direct3d9->shaders.reset();
  EXPECT_EQ(Shader(no_caps9, ShaderKind::kVertex), L"1.1(DirectX8)");
  FakeRuntimes only8 = both;
  only8.direct3d9.reset();
  EXPECT_EQ(Shader(only8, ShaderKind::kPixel), L"1.4(DirectX8)");
}

TEST(ShaderVersionReport, MissingOrSilentRuntimes) {
  FakeRuntimes no_caps9_no_8;
  no_caps9_no_8.direct3d9 = FakeRuntimes::Direct3D{};
  EXPECT_EQ(Shader(no_caps9_no_8, ShaderKind::kVertex), L"DirectX8 or subsequent ones is not installed");
  FakeRuntimes nothing;
  EXPECT_EQ(Shader(nothing, ShaderKind::kPixel), L"DirectX8 or subsequent ones is not installed");
  FakeRuntimes silent8;
  silent8.direct3d8 = FakeRuntimes::Direct3D{};
  EXPECT_EQ(Shader(silent8, ShaderKind::kVertex), L"");
}

TEST(UnifiedShaderReport, Direct3D10_1KeepsItsLastLineEnd) {
  FakeRuntimes runtimes;
  runtimes.direct3d10_1 = FakeRuntimes::Devices{{kDriverTypeReference, kFeatureLevel10_0},
                                                {kDriverTypeHardware, kFeatureLevel10_1},
                                                {kDriverTypeHardware, kFeatureLevel10_0},
                                                {kDriverTypeReference, kFeatureLevel10_1}};
  runtimes.direct3d10 = FakeRuntimes::Devices{{kDriverTypeHardware, kFeatureLevel10_0}};
  EXPECT_EQ(Unified(runtimes),
            L"4.1(DirectX10.1/HAL_10_1)\n4.1(DirectX10.1/REF_10_1)\n"
            L"4.1(DirectX10.1/HAL_10_0)\n4.1(DirectX10.1/REF_10_0)\n");
  EXPECT_EQ(runtimes.loads, std::vector<std::wstring>{L"d3d10_1"});

  FakeRuntimes all;
  all.direct3d10_1 = FakeRuntimes::Devices{};
  for (UINT type = 0; type < 4; ++type) {
    all.direct3d10_1->insert({type, kFeatureLevel10_1});
    all.direct3d10_1->insert({type, kFeatureLevel10_0});
  }
  EXPECT_EQ(Unified(all),
            L"4.1(DirectX10.1/HAL_10_1)\n4.1(DirectX10.1/REF_10_1)\n4.1(DirectX10.1/NULL_10_1)\n"
            L"4.1(DirectX10.1/SOFT_10_1)\n4.1(DirectX10.1/HAL_10_0)\n4.1(DirectX10.1/REF_10_0)\n"
            L"4.1(DirectX10.1/NULL_10_0)\n4.1(DirectX10.1/SOFT_10_0)\n");
}

TEST(UnifiedShaderReport, Direct3D10DropsItsTrailingWhiteSpace) {
  FakeRuntimes runtimes;
  runtimes.direct3d10 = FakeRuntimes::Devices{{kDriverTypeReference, kFeatureLevel10_0},
                                              {kDriverTypeHardware, kFeatureLevel10_0}};
  EXPECT_EQ(Unified(runtimes), L"4.0(DirectX10/HAL)\n4.0(DirectX10/REF)");

  // A Direct3D 10.1 runtime that creates nothing hands over to Direct3D 10.
  runtimes.direct3d10_1 = FakeRuntimes::Devices{};
  runtimes.direct3d10 = FakeRuntimes::Devices{{kDriverTypeSoftware, kFeatureLevel10_0}};
  runtimes.loads.clear();
  EXPECT_EQ(Unified(runtimes), L"4.0(DirectX10/SOFT)");
  EXPECT_EQ(runtimes.loads, (std::vector<std::wstring>{L"d3d10_1", L"d3d10"}));

  runtimes.direct3d10 = FakeRuntimes::Devices{};
  EXPECT_EQ(Unified(runtimes), L"DirectX10 or subsequent ones is not installed");
  FakeRuntimes nothing;
  EXPECT_EQ(Unified(nothing), L"DirectX10 or subsequent ones is not installed");
}

TEST(VideoDriverReport, NameAndFourPartVersion) {
  FakeRuntimes runtimes;
  runtimes.direct3d8 =
      FakeRuntimes::Direct3D{std::nullopt, AdapterDriver{L"nv4_disp.dll", 0x0006000E000B1B09ull}};
  CString report;
  WriteVideoDriverReport(report, runtimes);
  EXPECT_EQ(report, L"nv4_disp.dll(6.14.11.6921)");

  runtimes.direct3d8->driver.reset();
  CString silent;
  WriteVideoDriverReport(silent, runtimes);
  EXPECT_EQ(silent, L"");
  FakeRuntimes nothing;
  CString missing;
  WriteVideoDriverReport(missing, nothing);
  EXPECT_EQ(missing, L"DirectX8 or subsequent ones is not installed");
}

std::wstring NowMode(const std::optional<CurrentDisplayMode>& mode) {
  CString report;
  WriteNowDisplayModeReport(report, mode);
  return report;
}

TEST(DisplayModeReports, CurrentModeShowsAKnownRefreshRateOnly) {
  EXPECT_EQ(NowMode(CurrentDisplayMode{1024, 768, 32, 60}), L"1024 * 768  32bit (60Hz)\n");
  EXPECT_EQ(NowMode(CurrentDisplayMode{1024, 768, 32, 2}), L"1024 * 768  32bit (2Hz)\n");
  // 1, like 0, is the hardware's default rate, not one hertz.
  EXPECT_EQ(NowMode(CurrentDisplayMode{1024, 768, 32, 1}), L"1024 * 768  32bit\n");
  EXPECT_EQ(NowMode(CurrentDisplayMode{1024, 768, 32, 0}), L"1024 * 768  32bit\n");
  EXPECT_EQ(NowMode(CurrentDisplayMode{800, 600, 16, -1}), L"800 * 600  16bit\n");
  EXPECT_EQ(NowMode(std::nullopt), L"\n");
}

TEST(DisplayModeReports, ListCollapsesEqualNeighboursOnly) {
  CString report;
  WriteDisplayModeListReport(report, {{640, 480, 8}, {640, 480, 8}, {640, 480, 8}, {640, 480, 16}, {640, 480, 8}});
  EXPECT_EQ(report, L"640 * 480  8bit\n640 * 480  16bit\n640 * 480  8bit\n");
  CString none;
  WriteDisplayModeListReport(none, {});
  EXPECT_EQ(none, L"");
}

class FixedVideoMemory : public VideoMemorySource {
 public:
  explicit FixedVideoMemory(std::optional<DWORD> total) : total_(total) {}
  std::optional<DWORD> TotalVideoMemory(DWORD caps) const override {
    asked.push_back(caps);
    return total_;
  }
  mutable std::vector<DWORD> asked;

 private:
  std::optional<DWORD> total_;
};

TEST(VideoMemoryReport, OneDecimalOfUnsignedMegabytes) {
  const struct {
    std::optional<DWORD> total;
    const wchar_t* text;
  } cases[] = {
      {268435456, L"256.0 MB\n"}, {0, L"0.0 MB\n"}, {3221225472u, L"3072.0 MB\n"},
      {0xFFFFFFFFu, L"4096.0 MB\n"}, {1572864, L"1.5 MB\n"}, {std::nullopt, L""},
  };
  for (const auto& c : cases) {
    CString report;
    WriteVideoMemoryReport(report, VideoMemoryScope::kAll, FixedVideoMemory(c.total));
    EXPECT_EQ(report, c.text);
  }
}

TEST(VideoMemoryReport, LocalAndAllDifferInTheCapabilityBitsOnly) {
  EXPECT_EQ(VideoMemoryCaps(VideoMemoryScope::kLocal), 0x10004000u);
  EXPECT_EQ(VideoMemoryCaps(VideoMemoryScope::kAll), 0x00004000u);
  FixedVideoMemory source(268435456);
  CString local, all;
  WriteVideoMemoryReport(local, VideoMemoryScope::kLocal, source);
  WriteVideoMemoryReport(all, VideoMemoryScope::kAll, source);
  EXPECT_EQ(local, all);
  EXPECT_EQ(source.asked, (std::vector<DWORD>{0x10004000u, 0x00004000u}));
}

}  // namespace
}  // namespace orvanta
