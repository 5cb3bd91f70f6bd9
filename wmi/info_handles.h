// The two handlers behind the cached reports: the operating system from
// Win32_OperatingSystem and the antivirus product from AntiVirusProduct. Their
// string work runs on the map alone, so it needs no WMI to be exercised.
#pragma once

#include <string>

#include "wmi/wmi_data_handle.h"

namespace orvanta {

// Writes the OS text, "<caption>[ <bits>Bit][ <service pack>][ (Build:<build>)]",
// into the output string given to the constructor; the last result object
// decides it. A caption that is empty once its trademark signs are gone leaves
// the output empty.
class OSInfoWMIDataHandle : public WMIPropertyTable<6> {
 public:
  explicit OSInfoWMIDataHandle(std::wstring& output);
  ~OSInfoWMIDataHandle() = default;

  int HandleData(PropertyMap& properties) override;
  void InitData() override;

  // The number before the first "." of the version, 0 when the version has no
  // "." or no number there.
  int MajorVersion() const { return major_version_; }

 private:
  // Empties the results (not the output).
  void ClearResults();

  std::wstring& output_;
  std::wstring caption_;
  std::wstring service_pack_;
  std::wstring build_number_;
  int architecture_bits_ = 0;
  int major_version_ = 0;
};

// Takes the display name and version number of the antivirus product; the
// last product enumerated decides both.
class AntiVirusWMIDataHandle : public WMIPropertyTable<2> {
 public:
  // |use_security_center2| 1 asks "ROOT\SecurityCenter2" (Windows Vista and
  // later), 0 "ROOT\SecurityCenter".
  explicit AntiVirusWMIDataHandle(int use_security_center2);
  ~AntiVirusWMIDataHandle() = default;

  // Always 1: every product is a result, also one without a name.
  int HandleData(PropertyMap& properties) override;
  void InitData() override;

  const std::wstring& DisplayName() const { return display_name_; }
  const std::wstring& VersionNumber() const { return version_number_; }

 private:
  int use_security_center2_;
  std::wstring display_name_;
  std::wstring version_number_;
};

// The use-SecurityCenter2 flag for an OS of |major_version|: 1 from Windows
// Vista (6) on, 0 before and when the version is unknown (0).
int UseSecurityCenter2(int major_version);

// The security text: the display name, then "(<version>)" when there is a
// version number.
std::wstring SecuritySoftText(const AntiVirusWMIDataHandle& handle);

}  // namespace orvanta
