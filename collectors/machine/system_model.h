// The system model report: the computer's maker and model from the registry.
#pragma once

#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {

// Values longer than this many bytes are cut to it.
inline constexpr size_t kSystemModelValueBytes = 512;

// "SystemModel : %s\n" and "Product : %s\n" from the first of the OEM key and
// the system information key that opens. Only REG_SZ values are printed; a
// missing first value ends the report.
void WriteSystemModelReport(CString& report, const RegistrySource& registry);

}  // namespace orvanta
