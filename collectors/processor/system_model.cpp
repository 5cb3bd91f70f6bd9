// CUserOrvanta::GetSystemModelInfo and its logic.
#include "collectors/processor/system_model.h"

#include <algorithm>

#include "collectors/user_orvanta.h"
#include "framework/reg_key.h"

namespace orvanta {
namespace {

struct ModelSource {
  const wchar_t* path;
  const wchar_t* model_value;    // printed as "SystemModel"
  const wchar_t* product_value;  // printed as "Product"
};

// Tried in order; the first key that opens is the only one read.
constexpr ModelSource kModelSources[] = {
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo", L"WbemProduct", L"WbemOem"},
    {L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation", L"SystemManufacturer", L"SystemProductName"},
};

std::wstring ModelText(const RegistryValue& value) {
  return TextFromRegistryData(value.data.data(), std::min(value.data.size(), kSystemModelValueBytes));
}

}  // namespace

void WriteSystemModelReport(CString& report, const RegistryReader& registry) {
  for (const ModelSource& source : kModelSources) {
    const std::unique_ptr<RegistryKeyReader> key = registry.Open(source.path, KEY_READ);
    if (!key) continue;

    const std::optional<RegistryValue> model = key->Read(source.model_value);
    if (!model) return;
    if (model->type == REG_SZ) AppendFormat(report, L"SystemModel : %s\n", ModelText(*model).c_str());

    const std::optional<RegistryValue> product = key->Read(source.product_value);
    if (product && product->type == REG_SZ)
      AppendFormat(report, L"Product : %s\n", ModelText(*product).c_str());
    return;
  }
}

void CUserOrvanta::GetSystemModelInfo(CString& report) { WriteSystemModelReport(report, LiveRegistry()); }

}  // namespace orvanta
