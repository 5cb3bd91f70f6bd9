#include "wmi/info_handles.h"

#include <stdlib.h>

#include "framework/report_text.h"

namespace orvanta {
namespace {

constexpr const wchar_t* kOSProperties[] = {
    L"Caption", L"CSDVersion", L"BuildNumber", L"Version", L"ProductType", L"OSArchitecture",
};
enum OSProperty { kCaption, kCSDVersion, kBuildNumber, kVersion, kProductType, kOSArchitecture };

constexpr const wchar_t* kAntiVirusProperties[] = {L"displayName", L"versionNumber"};
enum AntiVirusProperty { kDisplayName, kVersionNumber };

constexpr wchar_t kRegisteredSign = 0x00AE;
constexpr wchar_t kTradeMarkSign = 0x2122;

// The map's value for |name| (which the handler declared), trimmed in place.
const std::wstring& Trimmed(PropertyMap& properties, const wchar_t* name) {
  std::wstring& text = properties[name];
  TrimPropertyText(text);
  return text;
}

// The text's integer value as the C library's atoi reads it.
int IntegerValue(const std::wstring& text) { return _wtoi(text.c_str()); }

}  // namespace

OSInfoWMIDataHandle::OSInfoWMIDataHandle(std::wstring& output) : WMIPropertyTable(kOSProperties), output_(output) {
  InitData();
}

void OSInfoWMIDataHandle::ClearResults() {
  caption_.clear();
  service_pack_.clear();
  build_number_.clear();
  architecture_bits_ = 0;
  major_version_ = 0;
}

void OSInfoWMIDataHandle::InitData() {
  WMIDataHandle::InitData();
  SetNamespace(L"ROOT\\CIMV2");
  SetQuery(L"SELECT * FROM Win32_OperatingSystem");
  ClearResults();
}

int OSInfoWMIDataHandle::HandleData(PropertyMap& properties) {
  ClearResults();
  output_.clear();

  for (wchar_t c : Trimmed(properties, kOSProperties[kCaption])) {
    if (c != kRegisteredSign && c != kTradeMarkSign) caption_ += c;
  }
  service_pack_ = Trimmed(properties, kOSProperties[kCSDVersion]);
  build_number_ = Trimmed(properties, kOSProperties[kBuildNumber]);

  // "6.1.7601": the major version only counts when there is more than one piece.
  const std::wstring& version = Trimmed(properties, kOSProperties[kVersion]);
  const size_t dot = version.find(L'.');
  if (dot != std::wstring::npos) major_version_ = IntegerValue(version.substr(0, dot));

  // "64-bit" has no blank and gives nothing; "64 Bit" gives 64.
  const std::wstring& architecture = Trimmed(properties, kOSProperties[kOSArchitecture]);
  const size_t blank = architecture.find(L' ');
  if (blank != std::wstring::npos && blank > 0) architecture_bits_ = IntegerValue(architecture.substr(0, blank));

  if (caption_.empty()) return 0;
  output_ = caption_;
  if (architecture_bits_ > 0) AppendFormat(output_, L" %dBit", architecture_bits_);
  if (!service_pack_.empty()) output_ += L" " + service_pack_;
  if (!build_number_.empty()) output_ += L" (Build:" + build_number_ + L")";
  return 1;
}

AntiVirusWMIDataHandle::AntiVirusWMIDataHandle(int use_security_center2)
    : WMIPropertyTable(kAntiVirusProperties), use_security_center2_(use_security_center2) {
  InitData();
}

void AntiVirusWMIDataHandle::InitData() {
  WMIDataHandle::InitData();
  SetNamespace(use_security_center2_ == 1 ? L"ROOT\\SecurityCenter2" : L"ROOT\\SecurityCenter");
  SetQuery(L"SELECT * FROM AntiVirusProduct");
  display_name_.clear();
  version_number_.clear();
}

int AntiVirusWMIDataHandle::HandleData(PropertyMap& properties) {
  display_name_ = Trimmed(properties, kAntiVirusProperties[kDisplayName]);
  version_number_ = Trimmed(properties, kAntiVirusProperties[kVersionNumber]);
  return 1;
}

int UseSecurityCenter2(int major_version) { return major_version >= 6 ? 1 : 0; }

std::wstring SecuritySoftText(const AntiVirusWMIDataHandle& handle) {
  std::wstring text = handle.DisplayName();
  if (!handle.VersionNumber().empty()) text += L"(" + handle.VersionNumber() + L")";
  return text;
}

}  // namespace orvanta
