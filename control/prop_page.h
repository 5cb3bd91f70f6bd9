// COrvantaPropPage: the control's one property page ("General"). The page edits
// no property.
#pragma once

#include "framework/com_object.h"

namespace orvanta {

class COrvantaPropPage : public ComObject<COrvantaPropPage, IUnknown> {
 public:
  static std::span<const InterfaceEntry> InterfaceMap();
};

}  // namespace orvanta
