#include "control/prop_page.h"

#include "control/resources/resource.h"

namespace orvanta {

COrvantaPropPage::COrvantaPropPage() : CPropertyPage({IDD_PROPPAGE_ORVANTA, IDS_ORVANTA_PPG_CAPTION}) {}

}  // namespace orvanta
