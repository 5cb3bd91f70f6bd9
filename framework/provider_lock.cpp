#include "framework/provider_lock.h"

namespace orvanta {
namespace {

// Constructed when the module is loaded, before any caller can reach it.
CriticalSection provider_lock;

}  // namespace

CriticalSection& ProviderLock() { return provider_lock; }

}  // namespace orvanta
