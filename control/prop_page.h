// COrvantaPropPage: the control's one property page ("General"). The page edits
// no property.
#pragma once

#include "framework/property_page.h"

namespace orvanta {

class COrvantaPropPage : public CPropertyPage {
 public:
  COrvantaPropPage();
};

}  // namespace orvanta
