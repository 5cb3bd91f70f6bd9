// ActivationContext and ActivationScope: a side-by-side activation context
// made from a manifest file, and its activation on the calling thread.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace orvanta {

// Owns one activation context made from |manifest|; dependent assemblies are
// looked up in |assembly_directory|. Get() is INVALID_HANDLE_VALUE when the
// manifest could not be read, and Error() says why.
class ActivationContext {
 public:
  ActivationContext() = default;
  ActivationContext(const std::wstring& manifest, const std::wstring& assembly_directory) {
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    request.lpSource = manifest.c_str();
    request.lpAssemblyDirectory = assembly_directory.c_str();
    context_ = CreateActCtxW(&request);
    if (context_ == INVALID_HANDLE_VALUE) error_ = GetLastError();
  }
  ActivationContext(const ActivationContext&) = delete;
  ActivationContext& operator=(const ActivationContext&) = delete;
  ~ActivationContext() {
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }

  HANDLE Get() const { return context_; }
  explicit operator bool() const { return context_ != INVALID_HANDLE_VALUE; }
  DWORD Error() const { return error_; }

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  DWORD error_ = ERROR_SUCCESS;
};

// Activates |context| on the calling thread for the life of the object; must
// be destroyed on the same thread, after everything created under it.
class ActivationScope {
 public:
  ActivationScope() = default;
  explicit ActivationScope(const ActivationContext& context) {
    if (context && ActivateActCtx(context.Get(), &cookie_)) active_ = true;
  }
  ActivationScope(const ActivationScope&) = delete;
  ActivationScope& operator=(const ActivationScope&) = delete;
  ~ActivationScope() {
    if (active_) DeactivateActCtx(0, cookie_);
  }

  explicit operator bool() const { return active_; }

 private:
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

}  // namespace orvanta
