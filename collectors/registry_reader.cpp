#include "collectors/registry_reader.h"

#include "framework/reg_key.h"

namespace orvanta {
namespace {

class LiveKey : public RegistryKeyReader {
 public:
  explicit LiveKey(RegKey key) : key_(std::move(key)) {}

  std::optional<RegistryValue> Read(const wchar_t* name) const override {
    RegistryValue value;
    if (key_.ReadValue(name, &value.type, &value.data) != ERROR_SUCCESS) return std::nullopt;
    return value;
  }

 private:
  RegKey key_;
};

}  // namespace

std::unique_ptr<RegistryKeyReader> LiveRegistry::Open(const wchar_t* path, REGSAM access) const {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, path, access) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<LiveKey>(std::move(key));
}

}  // namespace orvanta
