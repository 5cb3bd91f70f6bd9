// ProviderLock: the one lock that the control holds while it asks one of the
// system's shared information providers (WMI, the DxDiag provider,
// DirectSound).
#pragma once

#include "framework/critical_section.h"

namespace orvanta {

// Several control instances may live in one host, each in an apartment of its
// own, and ask at the same moment. Some implementations of these providers
// are not safe to enter from several threads at once: under Wine, DxDiag
// providers initialised together crash inside the WMI provider, the wave
// device list and DirectSound's device release. The control therefore enters
// them from one thread at a time. Each provider session is short and
// self-contained, and no other lock is taken while this one is held, so
// callers only wait.
CriticalSection& ProviderLock();

}  // namespace orvanta
