#include "framework/module.h"

#include <objbase.h>

#include <atomic>
#include <cstring>

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

LPOLESTR ModuleState::LoadTaskString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(Handle(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return nullptr;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length * sizeof(wchar_t));
  copy[length] = L'\0';
  return copy;
}

}  // namespace orvanta
