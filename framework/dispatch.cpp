#include "framework/dispatch.h"

#include <memory>
#include <string>
#include <utility>

namespace orvanta {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* text) const { LocalFree(text); }
};

ResultStringAllocator result_string_allocator = SysAllocStringByteLen;

}  // namespace

BSTR AllocateResultString(const void* bytes, UINT byte_length) {
  return result_string_allocator(static_cast<LPCSTR>(bytes), byte_length);
}

ResultStringAllocator SetResultStringAllocatorForTesting(ResultStringAllocator allocator) {
  return std::exchange(result_string_allocator, allocator);
}

bool DispatchNamesEqual(const wchar_t* a, const wchar_t* b) {
  static const LCID kEnglishUnitedStates = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
  return CompareStringW(kEnglishUnitedStates, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

void FillExcepInfo(EXCEPINFO* info, HRESULT scode, const wchar_t* source) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->scode = scode;
  info->bstrSource = SysAllocString(source);

  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(scode), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> message(buffer);
  if (length != 0) {
    std::wstring_view text(message.get(), length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.remove_suffix(1);
    info->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
}

}  // namespace orvanta
