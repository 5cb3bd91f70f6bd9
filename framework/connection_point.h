// ConnectionPoint: one outgoing interface of an object, with its sinks.
#pragma once

#include <windows.h>
#include <olectl.h>

#include <span>
#include <vector>

#include "framework/com_ptr.h"

namespace orvanta {

// Lives inside its container object and shares the container's reference
// count. Sinks must implement the connection's interface; they are held until
// unadvised or until the container is destroyed.
class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* container, const IID& iid)
      : container_(container), iid_(iid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  virtual ~ConnectionPoint() = default;

  const IID& iid() const { return iid_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

 private:
  struct Sink {
    DWORD cookie;
    ComPtr<IUnknown> sink;
  };

  IConnectionPointContainer* container_;
  IID iid_;
  std::vector<Sink> sinks_;
  DWORD next_cookie_ = 1;
};

// IEnumConnectionPoints over a set of connection points.
HRESULT CreateConnectionPointEnumerator(std::span<IConnectionPoint* const> points,
                                        IEnumConnectionPoints** out);

}  // namespace orvanta
