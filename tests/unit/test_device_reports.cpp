// The device reports' text rules: class matching, the CD-ROM name rule, the
// adapter name comparison, the memory size text and the video card choice.
#include <gtest/gtest.h>

#include "collectors/devices/adapter_memory.h"
#include "collectors/devices/device_reports.h"
#include "collectors/devices/device_walk.h"

namespace orvanta {
namespace {

// A registry with no keys at all: every walk over it is empty.
class EmptyRegistry : public DeviceRegistry {
 public:
  LONG Open(HKEY, const wchar_t*, HKEY*) const override { return ERROR_FILE_NOT_FOUND; }
  void Close(HKEY) const override {}
  LONG QueryValue(HKEY, const wchar_t*, DWORD*, BYTE*, DWORD*) const override { return ERROR_FILE_NOT_FOUND; }
  LONG EnumKey(HKEY, DWORD, wchar_t*, DWORD*) const override { return ERROR_NO_MORE_ITEMS; }
  LONG EnumValue(HKEY, DWORD, wchar_t*, DWORD*, DWORD*, BYTE*, DWORD*) const override {
    return ERROR_NO_MORE_ITEMS;
  }
};

TEST(MatchClassGuid, ComparesTheBracedFormIgnoringCase) {
  const GUID media = {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  const GUID padded = {0x00012345, 0x0006, 0x0078, {0x00, 0x09, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E}};
  const struct {
    const wchar_t* text;
    const GUID& guid;
    bool match;
  } cases[] = {
      {L"{4d36e96c-e325-11ce-bfc1-08002be10318}", media, true},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10318}", media, true},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10319}", media, false},
      {L"4D36E96C-E325-11CE-BFC1-08002BE10318", media, false},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10318} ", media, false},
      {L"", media, false},
      // Leading zeros are part of every group.
      {L"{00012345-0006-0078-0009-000A0B0C0D0E}", padded, true},
      {L"{12345-6-78-09-000a0b0c0d0e}", padded, false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchClassGuid(c.text, c.guid), c.match) << c.text;
}

TEST(AppendNameOnce, LeavesOutNamesAlreadyInTheText) {
  const struct {
    const wchar_t* before;
    const wchar_t* name;
    const wchar_t* after;
  } cases[] = {
      {L"X DVD-RW\n", L"X DVD", L"X DVD-RW\n"},
      {L"X DVD\n", L"x dvd", L"X DVD\nx dvd\n"},
      {L"A\nB\n", L"A\nB", L"A\nB\n"},
      {L"X DVD\n", L"", L"X DVD\n"},
      {L"", L"", L""},
  };
  for (const auto& c : cases) {
    CString report = c.before;
    AppendNameOnce(report, c.name);
    EXPECT_EQ(report, c.after) << c.before << "+" << c.name;
  }
}

TEST(SameAdapterName, TrimsBothEndsAndKeepsCase) {
  const struct {
    const wchar_t* description;
    const wchar_t* name;
    bool same;
  } cases[] = {
      {L"Orvanta GPU", L"Orvanta GPU\n", true},
      {L" \tOrvanta GPU\r\n", L"\vOrvanta GPU\f", true},
      {L"Orvanta GPU", L"orvanta gpu", false},
      {L"Orvanta  GPU", L"Orvanta GPU", false},
      {L"Orvanta GPU\nOther GPU", L"Orvanta GPU", false},
      {L"Orvanta GPU", L"Orvanta GPU\nOther GPU\n", false},
      {L"", L" \n", true},
      {L"Orvanta GPU", L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameAdapterName(c.description, c.name), c.same) << c.description;
}

TEST(FormatAdapterMemorySize, PrintsMegabytesByType) {
  const struct {
    DWORD type;
    std::vector<BYTE> data;
    const wchar_t* text;
  } cases[] = {
      {REG_DWORD, {0x00, 0x00, 0x00, 0x08}, L"128.0MB"},
      {REG_BINARY, {0x00, 0x00, 0x00, 0x08}, L"128.0 MB"},
      {REG_BINARY, {0x00, 0x00, 0x00, 0xC0}, L"3072.0 MB"},  // unsigned: 3 GB
      {REG_BINARY, {0x00, 0x00, 0x10, 0x00, 0xFF, 0xFF}, L"1.0 MB"},  // the first word only
      {REG_DWORD, {0x00, 0x00, 0x00, 0x00}, L"0.0MB"},
      {REG_DWORD, {0x00, 0x00, 0x01}, L"0.1MB"},  // 65536 bytes, zero-padded
      {REG_BINARY, {}, L"0.0 MB"},
      {REG_SZ, {'1', 0, 0, 0}, L""},
      {REG_QWORD, {0, 0, 0, 8, 0, 0, 0, 0}, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatAdapterMemorySize(c.type, c.data.data(), static_cast<DWORD>(c.data.size())), c.text)
        << "type " << c.type;
  }
}

class FakeDirectDraw : public DisplayAdapterSource {
 public:
  FakeDirectDraw(bool available, std::wstring description)
      : available_(available), description_(std::move(description)) {}
  bool Describe(std::wstring* description) const override {
    ++calls;
    if (available_) *description = description_;
    return available_;
  }
  mutable int calls = 0;

 private:
  bool available_;
  std::wstring description_;
};

TEST(VideocardNameReport, DirectDrawAnswersAfterDirectX5) {
  const struct {
    DWORD packed;
    bool available;
    const wchar_t* description;
    const wchar_t* report;
    int calls;
  } cases[] = {
      {0x90003, true, L"Orvanta GPU", L"Orvanta GPU\n", 1},
      {0x50001, true, L"Orvanta GPU", L"Orvanta GPU\n", 1},  // 5.0a
      {0x50000, true, L"Orvanta GPU", L"", 0},               // 5.0: the registry
      {0, true, L"Orvanta GPU", L"", 0},
      {0x90003, false, L"", L"", 1},  // no DirectDraw: the registry
      {0x90003, true, L"", L"\n", 1},  // the identifier could not be read
  };
  for (const auto& c : cases) {
    FakeDirectDraw directdraw(c.available, c.description);
    CString report;
    WriteVideocardNameReport(report, c.packed, directdraw, EmptyRegistry());
    EXPECT_EQ(report, c.report) << std::hex << c.packed;
    EXPECT_EQ(directdraw.calls, c.calls) << std::hex << c.packed;
  }
}

}  // namespace
}  // namespace orvanta
