// CUserOrvanta::GetSystemModelInfo and its logic.
#include "collectors/machine/system_model.h"

#include <algorithm>

#include "collectors/user_orvanta.h"

namespace orvanta {
namespace {

struct ModelSource {
  const wchar_t* path;
  // The values printed as "SystemModel" and as "Product": the model and the
  // maker from the OEM key, the maker and the model from the other.
  const wchar_t* shown_as_system_model;
  const wchar_t* shown_as_product;
};

// Tried in order; the first key that opens is the only one read.
constexpr ModelSource kModelSources[] = {
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo", L"WbemProduct", L"WbemOem"},
    {L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation", L"SystemManufacturer", L"SystemProductName"},
};

// |text| cut to kSystemModelValueBytes, then made well-formed.
std::wstring ModelText(std::wstring text) {
  text.resize(std::min(text.size(), kSystemModelValueBytes / sizeof(wchar_t)));
  return WellFormedText(std::move(text));
}

}  // namespace

void WriteSystemModelReport(CString& report, const RegistrySource& registry) {
  for (const ModelSource& source : kModelSources) {
    RegKey key(registry);
    if (key.Open(HKEY_LOCAL_MACHINE, source.path, KEY_READ) != ERROR_SUCCESS) continue;

    DWORD type = REG_NONE;
    std::wstring text;
    if (key.ReadText(source.shown_as_system_model, &type, &text) != ERROR_SUCCESS) return;
    if (type == REG_SZ) AppendFormat(report, L"SystemModel : %s\n", ModelText(text).c_str());

    if (key.ReadText(source.shown_as_product, &type, &text) == ERROR_SUCCESS && type == REG_SZ)
      AppendFormat(report, L"Product : %s\n", ModelText(text).c_str());
    return;
  }
}

void CUserOrvanta::GetSystemModelInfo(CString& report) { WriteSystemModelReport(report, LiveRegistry()); }

}  // namespace orvanta
