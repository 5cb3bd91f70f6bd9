// WMIInfoCache: the operating-system and security-software texts, gathered
// from WMI once per process and kept until the module unloads.
#pragma once

#include "framework/scoped_bstr.h"

namespace orvanta {

struct WMIInfoCache {
  ScopedBstr OSInfo;            // the OS text; null only in a cache not built
  ScopedBstr SecuritySoftInfo;  // the antivirus text; likewise
};

// Runs the operating-system query, then the antivirus query in the namespace
// that the OS's major version chooses, and returns both texts (empty when a
// query gave nothing). Throws std::bad_alloc.
WMIInfoCache BuildWMIInfoCache();

// The process's cache, built on the first call by BuildWMIInfoCache and only
// read afterwards. Callers that arrive together on several threads wait for
// one build; a build that throws leaves the cache not built, and the next call
// builds again. Throws what the build throws.
const WMIInfoCache& GetWMIInfoCache();

}  // namespace orvanta
