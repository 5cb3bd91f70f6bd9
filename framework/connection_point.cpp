#include "framework/connection_point.h"

#include "framework/enumerator.h"
#include "framework/results.h"

namespace orvanta {
namespace {

struct ConnectDataTraits {
  static void Hold(CONNECTDATA& data) { data.pUnk->AddRef(); }
  static void Drop(CONNECTDATA& data) { data.pUnk->Release(); }
};
using ConnectionEnumerator = ComEnumerator<IEnumConnections, CONNECTDATA, ConnectDataTraits, &IID_IEnumConnections>;

struct PointTraits {
  static void Hold(IConnectionPoint*& point) { point->AddRef(); }
  static void Drop(IConnectionPoint*& point) { point->Release(); }
};
using PointEnumerator =
    ComEnumerator<IEnumConnectionPoints, IConnectionPoint*, PointTraits, &IID_IEnumConnectionPoints>;

}  // namespace

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IConnectionPoint*>(this);
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  container_->AddRef();
  *out = container_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> connection;
  if (FAILED(sink->QueryInterface(iid_, connection.ReceiveVoid()))) return CONNECT_E_CANNOTCONNECT;
  const HRESULT held = GuardedResult([&] {
    sinks_.push_back({next_cookie_, std::move(connection)});
    return S_OK;
  });
  if (FAILED(held)) return held;
  *cookie = next_cookie_++;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == cookie) {
      sinks_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return GuardedResult([&] {
    std::vector<CONNECTDATA> connections;
    for (const Sink& sink : sinks_) connections.push_back({sink.sink.Get(), sink.cookie});
    return CreateComObject<ConnectionEnumerator>(IID_IEnumConnections, reinterpret_cast<void**>(out),
                                                 std::span<const CONNECTDATA>(connections));
  });
}

HRESULT CreateConnectionPointEnumerator(std::span<IConnectionPoint* const> points,
                                        IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  return CreateComObject<PointEnumerator>(IID_IEnumConnectionPoints, reinterpret_cast<void**>(out),
                                          std::span<IConnectionPoint* const>(points));
}

}  // namespace orvanta
