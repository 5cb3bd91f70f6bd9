// The registry as the reports read it: keys below HKEY_LOCAL_MACHINE and their
// values, each with its type and all of its data. Reports take a
// RegistryReader, so tests hand them a registry of their own.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace orvanta {

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// An open key. Closed when destroyed.
class RegistryKeyReader {
 public:
  virtual ~RegistryKeyReader() = default;
  // The value |name| (null: the default value); nullopt when it is absent or
  // cannot be read.
  virtual std::optional<RegistryValue> Read(const wchar_t* name) const = 0;
};

class RegistryReader {
 public:
  virtual ~RegistryReader() = default;
  // Opens HKEY_LOCAL_MACHINE\<path> with |access|; null when it cannot be opened.
  virtual std::unique_ptr<RegistryKeyReader> Open(const wchar_t* path, REGSAM access) const = 0;
};

// This machine's registry.
class LiveRegistry : public RegistryReader {
 public:
  std::unique_ptr<RegistryKeyReader> Open(const wchar_t* path, REGSAM access) const override;
};

}  // namespace orvanta
