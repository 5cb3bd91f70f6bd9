// A stand-in module for the soak's own check: the real control, wrapped so
// that one method leaks on every call. ORVANTA_PLANTED_LEAK names the leak:
// "handle:<id>" keeps one event handle, "heap:<id>" one 4 KB heap block, per
// call of method <id>. The soak must fail on either.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tests/wrapped_control.h"

namespace orvanta {
namespace {

enum class Leak { kNone, kHandle, kHeap };

struct PlantedLeak {
  Leak kind = Leak::kNone;
  DISPID method = 0;
};

PlantedLeak ReadPlantedLeak() {
  const char* text = std::getenv("ORVANTA_PLANTED_LEAK");
  if (!text) return {};
  for (const auto& [prefix, kind] : {std::pair{"handle:", Leak::kHandle}, std::pair{"heap:", Leak::kHeap}}) {
    if (std::strncmp(text, prefix, std::strlen(prefix)) == 0)
      return {kind, static_cast<DISPID>(std::atoi(text + std::strlen(prefix)))};
  }
  return {};
}

bool LeakInOneMethod(DISPID id, VARIANT*, EXCEPINFO*, HRESULT*) {
  static const PlantedLeak leak = ReadPlantedLeak();
  if (id == leak.method && leak.kind == Leak::kHandle) static_cast<void>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (id == leak.method && leak.kind == Leak::kHeap) static_cast<void>(HeapAlloc(GetProcessHeap(), 0, 4096));
  return false;
}

}  // namespace

const InvokeHook kWrapperHook = LeakInOneMethod;

}  // namespace orvanta
