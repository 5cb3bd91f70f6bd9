// The DirectX version from given provider properties and file versions.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "collectors/graphics/directx_version.h"

namespace orvanta {
namespace {

// System files by name with their versions.
class FakeFiles : public DirectXFiles {
 public:
  FakeFiles(std::initializer_list<std::pair<const std::wstring, uint64_t>> files) : files_(files) {}
  std::optional<uint64_t> VersionOf(const wchar_t* file_name) const override {
    auto it = files_.find(file_name);
    if (it == files_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::wstring, uint64_t> files_;
};

// A "DxDiag_SystemInfo" container: VT_UI4 numbers and BSTR texts by name.
class FakeProperties : public DxDiagProperties {
 public:
  FakeProperties& Number(const std::wstring& name, DWORD value, VARTYPE type = VT_UI4) {
    numbers_[name] = {value, type};
    return *this;
  }
  FakeProperties& Text(const std::wstring& name, const std::wstring& value) {
    texts_[name] = value;
    return *this;
  }
  HRESULT GetProp(const wchar_t* name, VARIANT* value) const override {
    if (auto it = numbers_.find(name); it != numbers_.end()) {
      V_VT(value) = it->second.second;
      V_UI4(value) = it->second.first;
      return S_OK;
    }
    if (auto it = texts_.find(name); it != texts_.end()) {
      V_VT(value) = VT_BSTR;
      V_BSTR(value) = SysAllocStringLen(it->second.data(), static_cast<UINT>(it->second.size()));
      return S_OK;
    }
    return E_INVALIDARG;
  }

 private:
  std::map<std::wstring, std::pair<DWORD, VARTYPE>> numbers_;
  std::map<std::wstring, std::wstring> texts_;
};

class FakeSources : public DirectXVersionSources {
 public:
  FakeSources(FakeProperties provider, FakeFiles files) : provider_(std::move(provider)), files_(std::move(files)) {}
  HRESULT QueryDxDiag(DWORD* major, DWORD* minor, wchar_t* letter, wchar_t* long_text) const override {
    return ReadDxDiagVersion(provider_, major, minor, letter, long_text);
  }
  const DirectXFiles& Files() const override { return files_; }

 private:
  FakeProperties provider_;
  FakeFiles files_;
};

struct Query {
  HRESULT status;
  DWORD packed;
  std::wstring text;
};

Query QueryVersion(const DirectXVersionSources& sources, int capacity = 32) {
  Query query{E_UNEXPECTED, 0xFFFFFFFF, L""};
  std::wstring buffer(static_cast<size_t>(capacity), L'#');
  query.status = QueryDirectXVersion(sources, &query.packed, buffer.data(), capacity);
  query.text = buffer.c_str();
  return query;
}

std::wstring Inferred(const DirectXFiles& files) {
  DWORD major = 99, minor = 99;
  wchar_t letter = L'?';
  EXPECT_EQ(InferVersionFromFiles(files, &major, &minor, &letter), S_OK);
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + letter;
}

TEST(FileVersions, PackAndCompareAsOneUnsignedNumber) {
  EXPECT_EQ(PackFileVersion(4, 2, 0, 95), 0x000400020000005Full);
  EXPECT_EQ(PackFileVersion(5, 1, 2600, 901), 0x000500010A280385ull);
  EXPECT_EQ(CompareFileVersions(PackFileVersion(4, 8, 0, 400), PackFileVersion(4, 7, 0xFFFF, 0xFFFF)), 1);
  EXPECT_EQ(CompareFileVersions(PackFileVersion(4, 2, 0, 94), PackFileVersion(4, 2, 0, 95)), -1);
  EXPECT_EQ(CompareFileVersions(PackFileVersion(4, 2, 0, 95), PackFileVersion(4, 2, 0, 95)), 0);
  EXPECT_EQ(CompareFileVersions(PackFileVersion(0x8000, 0, 0, 0), PackFileVersion(1, 0, 0, 0)), 1);
}

TEST(DirectXVersionPacking, LettersCountFromAAndRunUnmasked) {
  EXPECT_EQ(PackDirectXVersion(8, 1, L'b'), 0x80102u);
  EXPECT_EQ(PackDirectXVersion(9, 0, L'C'), 0x90003u);
  EXPECT_EQ(PackDirectXVersion(6, 1, L'a'), 0x60101u);
  EXPECT_EQ(PackDirectXVersion(5, 0, L' '), 0x50000u);
  EXPECT_EQ(PackDirectXVersion(8, 0, L'z'), 0x8001Au);
  EXPECT_EQ(PackDirectXVersion(8, 0, L'1'), 0x80000u);
  EXPECT_EQ(PackDirectXVersion(1, 256, L'\0'), 0x20000u);
}

TEST(DirectXFileInference, EachRowDecidesAtItsThreshold) {
  const struct { const wchar_t* file; uint64_t threshold; const wchar_t* releases; } thresholds[] = {
      {L"\\ddraw.dll", PackFileVersion(4, 2, 0, 95), L"0.0 |1.0 "},
      {L"\\ddraw.dll", PackFileVersion(4, 3, 0, 1096), L"1.0 |2.0 "},
      {L"\\ddraw.dll", PackFileVersion(4, 4, 0, 68), L"2.0 |3.0 "},
      {L"\\d3drg8x.dll", PackFileVersion(4, 4, 0, 70), L"0.0 |3.0a"},
      {L"\\ddraw.dll", PackFileVersion(4, 5, 0, 155), L"3.0 |5.0 "},
      {L"\\ddraw.dll", PackFileVersion(4, 6, 0, 318), L"5.0 |6.0 "},
      {L"\\ddraw.dll", PackFileVersion(4, 6, 0, 436), L"6.0 |6.1 "},
      {L"\\dplayx.dll", PackFileVersion(4, 6, 3, 518), L"0.0 |6.1a"},
      {L"\\ddraw.dll", PackFileVersion(4, 7, 0, 700), L"6.1 |7.0 "},
      {L"\\dinput.dll", PackFileVersion(4, 7, 0, 716), L"0.0 |7.0a"},
      {L"\\ddraw.dll", PackFileVersion(4, 8, 0, 400), L"7.0 |8.0 "},
      {L"\\ddraw.dll", PackFileVersion(5, 1, 2258, 400), L"7.0 |8.0 "},
      {L"\\ddraw.dll", PackFileVersion(6, 0, 0, 0), L"8.0 |7.0 "},
      {L"\\d3d8.dll", PackFileVersion(4, 8, 1, 881), L"0.0 |8.1 "},
      {L"\\d3d8.dll", PackFileVersion(5, 1, 2600, 881), L"0.0 |8.1 "},
      {L"\\d3d8.dll", PackFileVersion(4, 8, 1, 901), L"8.1 |8.1a"},
      {L"\\d3d8.dll", PackFileVersion(5, 1, 2600, 901), L"8.1 |8.1a"},
      {L"\\d3d8.dll", PackFileVersion(6, 0, 0, 0), L"8.1a|0.0 "},
      {L"\\mpg2splt.ax", PackFileVersion(6, 3, 1, 885), L"0.0 |8.1b"},
      {L"\\dpnet.dll", PackFileVersion(4, 9, 0, 134), L"0.0 |8.2 "},
      {L"\\dpnet.dll", PackFileVersion(5, 2, 3677, 134), L"0.0 |8.2 "},
      {L"\\d3d9.dll", PackFileVersion(0, 0, 0, 1), L"9.0 |9.0 "},
  };
  for (const auto& t : thresholds) {
    const std::wstring below = Inferred(FakeFiles{{t.file, t.threshold - 1}});
    EXPECT_EQ(below + L"|" + Inferred(FakeFiles{{t.file, t.threshold}}), t.releases) << t.file;
  }
  EXPECT_EQ(Inferred(FakeFiles{}), L"0.0 ");
}

TEST(DirectXVersionQuery, ProviderFiguresMakeTheText) {
  const struct {
    FakeProperties provider;
    std::wstring text;
    DWORD packed;
  } cases[] = {
      {FakeProperties()
           .Number(L"dwDirectXVersionMajor", 9)
           .Number(L"dwDirectXVersionMinor", 0)
           .Text(L"szDirectXVersionLetter", L"c")
           .Text(L"szDirectXVersionLongEnglish", L"DirectX 9.0c (4.09.0000.0904)"),
       L"DirectX 9.0c (4.09.0000.0904)", 0x90003},
      {FakeProperties()
           .Number(L"dwDirectXVersionMajor", 9)
           .Number(L"dwDirectXVersionMinor", 0)
           .Text(L"szDirectXVersionLetter", L"C"),
       L"9.0c", 0x90003},
      {FakeProperties()
           .Number(L"dwDirectXVersionMajor", 8)
           .Number(L"dwDirectXVersionMinor", 1)
           .Text(L"szDirectXVersionLetter", L" "),
       L"8.1", 0x80100},
      // An empty letter is the terminator: the text ends after the minor number.
      {FakeProperties()
           .Number(L"dwDirectXVersionMajor", 9)
           .Number(L"dwDirectXVersionMinor", 0)
           .Text(L"szDirectXVersionLetter", L""),
       L"9.0", 0x90000},
  };
  for (const auto& c : cases) {
    const Query query = QueryVersion(FakeSources(c.provider, FakeFiles{{L"\\ddraw.dll", PackFileVersion(4, 2, 0, 95)}}));
    EXPECT_EQ(query.status, S_OK);
    EXPECT_EQ(query.text, c.text);
    EXPECT_EQ(query.packed, c.packed);
  }
}

TEST(DirectXVersionQuery, IncompleteProviderLeavesTheNumbersToTheFiles) {
  const FakeFiles d3d9{{L"\\d3d9.dll", PackFileVersion(5, 3, 0, 1)}};
  // No letter, a minor of the wrong type, no provider at all.
  const FakeProperties providers[] = {
      FakeProperties()
          .Number(L"dwDirectXVersionMajor", 10)
          .Number(L"dwDirectXVersionMinor", 1)
          .Text(L"szDirectXVersionLongEnglish", L"Long text"),
      FakeProperties()
          .Number(L"dwDirectXVersionMajor", 10)
          .Number(L"dwDirectXVersionMinor", 1, VT_I4)
          .Text(L"szDirectXVersionLetter", L"a"),
      FakeProperties(),
  };
  const std::wstring texts[] = {L"Long text", L"9.0", L"9.0"};
  for (size_t i = 0; i < std::size(providers); ++i) {
    const Query query = QueryVersion(FakeSources(providers[i], d3d9));
    EXPECT_EQ(query.status, S_OK);
    EXPECT_EQ(query.text, texts[i]);  // a long text that the provider gave still wins
    EXPECT_EQ(query.packed, 0x90000u);
  }
  const Query nothing = QueryVersion(FakeSources(FakeProperties(), FakeFiles{}));
  EXPECT_EQ(nothing.text, L"0.0");
  EXPECT_EQ(nothing.packed, 0u);
}

TEST(DirectXVersionQuery, LongTextIsCutTo63ThenToTheBuffer) {
  const std::wstring long_text(100, L'x');
  const FakeSources sources(FakeProperties()
                                .Number(L"dwDirectXVersionMajor", 9)
                                .Number(L"dwDirectXVersionMinor", 0)
                                .Text(L"szDirectXVersionLetter", L"c")
                                .Text(L"szDirectXVersionLongEnglish", long_text),
                            FakeFiles{});
  EXPECT_EQ(QueryVersion(sources, 100).text, std::wstring(63, L'x'));
  EXPECT_EQ(QueryVersion(sources, 32).text, std::wstring(31, L'x'));
  EXPECT_EQ(QueryVersion(sources, 1).text, L"");

  // Outs may be absent.
  DWORD packed = 1;
  EXPECT_EQ(QueryDirectXVersion(sources, &packed, nullptr, 32), S_OK);
  EXPECT_EQ(packed, 0x90003u);
  wchar_t text[4] = L"###";
  EXPECT_EQ(QueryDirectXVersion(sources, nullptr, text, 0), S_OK);
  EXPECT_EQ(text[0], L'#');
}

TEST(DxDiagProperties, EachValueIsWrittenAsSoonAsItIsAccepted) {
  DWORD major = 0, minor = 0;
  wchar_t letter = L' ';
  wchar_t long_text[kDirectXLongTextCapacity] = {};
  FakeProperties only_major;
  only_major.Number(L"dwDirectXVersionMajor", 7).Text(L"szDirectXVersionLongEnglish", L"Seven");
  EXPECT_EQ(ReadDxDiagVersion(only_major, &major, &minor, &letter, long_text), E_FAIL);
  EXPECT_EQ(major, 7u);
  EXPECT_EQ(minor, 0u);
  EXPECT_EQ(letter, L' ');
  EXPECT_STREQ(long_text, L"Seven");
  EXPECT_EQ(ReadDxDiagVersion(only_major, nullptr, nullptr, nullptr, nullptr), E_FAIL);
}

TEST(FileVersionResource, RejectsMissingArgumentsAndFiles) {
  FileVersionWords words;
  EXPECT_EQ(ReadFileVersion(nullptr, &words), E_INVALIDARG);
  EXPECT_EQ(ReadFileVersion(L"C:\\windows\\system32\\kernel32.dll", nullptr), E_INVALIDARG);
  EXPECT_EQ(ReadFileVersion(L"C:\\no such directory\\none.dll", &words), E_FAIL);
}

TEST(FileVersionResource, SystemFilesOfThisMachineGiveTheirRelease) {
  // Wine's system directory holds a d3d9.dll with a version resource.
  wchar_t directory[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(directory, MAX_PATH), 0u);
  FileVersionWords words;
  ASSERT_EQ(ReadFileVersion((std::wstring(directory) + L"\\d3d9.dll").c_str(), &words), S_OK);
  EXPECT_EQ(SystemDirectoryFiles().VersionOf(L"\\d3d9.dll"), (uint64_t{words.ms} << 32) | words.ls);
  EXPECT_EQ(Inferred(SystemDirectoryFiles()), L"9.0 ");
}

}  // namespace
}  // namespace orvanta
