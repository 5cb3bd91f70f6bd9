// Processor identification from CPUID: the name report, and the capability
// tests that the frequency report uses. Everything but the live source works
// on register values, so recorded values drive it as well as the processor.
#pragma once

#include <cstdint>
#include <string>

#include "framework/report_text.h"

namespace orvanta {

struct CpuidRegisters {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};

// Where CPUID answers come from.
class CpuidSource {
 public:
  virtual ~CpuidSource() = default;
  // Whether the processor has the CPUID instruction at all.
  virtual bool Available() const = 0;
  // The four registers that CPUID leaves for |leaf|.
  virtual CpuidRegisters Query(uint32_t leaf) const = 0;
};

// The processor the calling thread runs on.
class LiveCpuid : public CpuidSource {
 public:
  bool Available() const override;
  CpuidRegisters Query(uint32_t leaf) const override;
};

// True when CPUID exists: on 32-bit x86, when the EFLAGS ID bit can be
// flipped; on x86-64 always.
bool IsCPUIDAvailable();

// True when CPUID exists and leaf 1 reports a time-stamp counter (EDX bit 4).
bool HasTimeStampCounter(const CpuidSource& cpuid);

// True when the highest extended leaf (leaf 0x80000000 EAX) is above 0x80000000.
bool HasExtendedCPUID(const CpuidSource& cpuid);

// The four characters of a register, low byte first; each byte becomes the
// character of its value taken as a signed 8-bit number (0x80 to 0xFF become
// U+FF80 to U+FFFF). Zero bytes stay as zero characters.
std::wstring RegisterText(uint32_t value);

// Removes leading white space and the white space directly before the first
// zero character (or the end).
std::wstring TrimCpuidText(const std::wstring& text);

// The vendor identification string (leaf 0: EBX, EDX, ECX), trimmed.
std::wstring ReadVendorString(const CpuidSource& cpuid);

// The 48-character brand string (leaves 0x80000002 to 0x80000004), trimmed.
std::wstring ReadBrandString(const CpuidSource& cpuid);

// The processor's name from the vendor table and the vendor's family and
// model table; "Unknown" for a vendor outside the table. Leaf 2 (cache
// descriptors) is asked of |cpuid| only by the one Intel entry that needs it.
std::wstring DecodeProcessorName(const std::wstring& vendor, int family, int model, int stepping,
                                 int brand_index, const CpuidSource& cpuid);

// The name report: the brand string or the decoded name, then
// " Family %d Model %d Stepping %d"; empty without CPUID.
void WriteCPUNameReport(CString& report, const CpuidSource& cpuid);

}  // namespace orvanta
