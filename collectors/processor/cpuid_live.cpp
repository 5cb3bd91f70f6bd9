// The CPUID instruction of the processor the calling thread runs on, and
// CUserOrvanta::GetCPUNameInfo, which reports on it.
#include <cpuid.h>

#include "collectors/processor/cpu_name.h"
#include "collectors/user_orvanta.h"

namespace orvanta {

#if defined(__i386__)
bool IsCPUIDAvailable() {
  // Processors without CPUID keep the EFLAGS ID bit (bit 21) fixed. EFLAGS is
  // put back as it was found.
  uint32_t original = 0;
  uint32_t read_back = 0;
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl $0x200000, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl"
      : "=&r"(original), "=&r"(read_back)
      :
      : "cc");
  return original != read_back;
}
#elif defined(__x86_64__)
bool IsCPUIDAvailable() { return true; }
#else
#error "CPUID is an x86 instruction"
#endif

bool LiveCpuid::Available() const { return IsCPUIDAvailable(); }

CpuidRegisters LiveCpuid::Query(uint32_t leaf) const {
  // Any leaf is run as asked, also above the highest one the processor lists.
  CpuidRegisters registers;
  __cpuid_count(leaf, 0, registers.eax, registers.ebx, registers.ecx, registers.edx);
  return registers;
}

void CUserOrvanta::GetCPUNameInfo(CString& report) {
  const LiveCpuid cpuid;
  WriteCPUNameReport(report, cpuid);
}

}  // namespace orvanta
