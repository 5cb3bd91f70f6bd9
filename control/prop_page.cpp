#include "control/prop_page.h"

namespace orvanta {

std::span<const InterfaceEntry> COrvantaPropPage::InterfaceMap() {
  static constexpr InterfaceEntry kMap[] = {
      {&IID_IUnknown, CastTo<COrvantaPropPage, IUnknown>},
  };
  return kMap;
}

}  // namespace orvanta
