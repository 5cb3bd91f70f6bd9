#include "wmi/wmi_data_handle.h"

#include "framework/report_text.h"

namespace orvanta {

void WMIDataHandle::InitData() {
  properties_.clear();
  const int count = GetPropertyCount();
  for (int index = 0; index < count; ++index) {
    std::wstring& cell = GetPropertyCell(index);
    cell.clear();
    properties_.emplace(GetPropertyName(index), cell);
  }
  namespace_.clear();
  query_.clear();
}

bool StorePropertyText(const VARIANT& value, std::wstring& text) {
  switch (V_VT(&value)) {
    case VT_I2:
      text = FormatText(L"%d", static_cast<int>(V_I2(&value)));
      return true;
    case VT_I4:
      text = FormatText(L"%d", static_cast<int>(V_I4(&value)));
      return true;
    case VT_I8:
      // "%I64d" rather than "%lld": the C runtime of older systems knows only
      // the former.
      text = FormatText(L"%I64d", static_cast<long long>(V_I8(&value)));
      return true;
    case VT_BSTR: {
      const BSTR string = V_BSTR(&value);
      text.assign(string ? string : L"", string ? SysStringLen(string) : 0);
      return true;
    }
    default:
      return false;
  }
}

void TrimPropertyText(std::wstring& text) {
  size_t end = text.size();
  while (end > 0 && IsWhiteSpace(text[end - 1])) --end;
  text.erase(end);
  size_t start = 0;
  while (start < text.size() && IsWhiteSpace(text[start])) ++start;
  text.erase(0, start);
}

}  // namespace orvanta
