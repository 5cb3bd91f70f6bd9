#include "wmi/wmi_info_cache.h"

#include <string>

#include "framework/built_once.h"
#include "wmi/info_handles.h"
#include "wmi/wmi_query_runner.h"

namespace orvanta {
namespace {

// Constructed when the module is loaded, before any method can be called.
BuiltOnce<WMIInfoCache> cache;

}  // namespace

WMIInfoCache BuildWMIInfoCache() {
  WMIInfoCache built;
  std::wstring os_text;
  OSInfoWMIDataHandle os_handle(os_text);
  WMIQueryRunner::Run(os_handle);
  built.OSInfo = ScopedBstr(os_text);

  AntiVirusWMIDataHandle antivirus_handle(UseSecurityCenter2(os_handle.MajorVersion()));
  WMIQueryRunner::Run(antivirus_handle);
  built.SecuritySoftInfo = ScopedBstr(SecuritySoftText(antivirus_handle));
  return built;
}

const WMIInfoCache& GetWMIInfoCache() { return cache.Get(BuildWMIInfoCache); }

}  // namespace orvanta
