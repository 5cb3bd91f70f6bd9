#include "framework/module.h"

#include <atomic>

namespace orvanta {
namespace {

std::atomic<long> live_objects{0};
std::atomic<long> locks{0};

}  // namespace

void ModuleState::ObjectCreated() { ++live_objects; }
void ModuleState::ObjectDestroyed() { --live_objects; }
void ModuleState::Lock() { ++locks; }
void ModuleState::Unlock() { --locks; }
bool ModuleState::CanUnload() { return live_objects == 0 && locks == 0; }

HMODULE ModuleState::Handle() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleState::Handle), &module);
  return module;
}

std::wstring ModuleState::FileName() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(Handle(), name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

}  // namespace orvanta
