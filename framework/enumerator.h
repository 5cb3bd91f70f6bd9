// ComEnumerator: a snapshot enumerator (IEnumXxx) over a list of items.
#pragma once

#include <windows.h>

#include <algorithm>
#include <span>
#include <vector>

#include "framework/com_object.h"

namespace orvanta {

// Enumerates a copy of the items taken at creation. |Traits| says how an item is
// held and handed out: `static void Hold(Item&)` takes a reference for the
// enumerator's copy, `static void Drop(Item&)` gives it back; an item handed to
// the caller by Next gets a reference of its own.
template <class IEnum, class Item, class Traits, const IID* kIid>
class ComEnumerator : public ComObject<ComEnumerator<IEnum, Item, Traits, kIid>, IEnum> {
 public:
  explicit ComEnumerator(std::span<const Item> items, size_t position = 0)
      : items_(items.begin(), items.end()), position_(position) {
    for (Item& item : items_) Traits::Hold(item);
  }
  ~ComEnumerator() override {
    for (Item& item : items_) Traits::Drop(item);
  }

  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<ComEnumerator, IEnum>},
        {kIid, CastTo<ComEnumerator, IEnum>},
    };
    return kMap;
  }

  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    while (given < count && position_ < items_.size()) {
      out[given] = items_[position_++];
      Traits::Hold(out[given]);
      ++given;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const size_t left = items_.size() - position_;
    position_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnum** out) override {
    return CreateComObject<ComEnumerator>(*kIid, reinterpret_cast<void**>(out),
                                          std::span<const Item>(items_), position_);
  }

 private:
  std::vector<Item> items_;
  size_t position_;
};

}  // namespace orvanta
