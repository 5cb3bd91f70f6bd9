// The system model report from a registry that the test writes.
#include <gtest/gtest.h>

#include "collectors/machine/system_model.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;
using testing::UnterminatedText;

const std::wstring kOem = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo";
const std::wstring kSystem = L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation";

std::wstring SystemModel(const FakeRegistry& registry) {
  CString report;
  WriteSystemModelReport(report, registry);
  return report;
}

TEST(SystemModelReport, PrefersTheOemKeyWithProductFirst) {
  FakeRegistry registry;
  registry.Text(kOem, L"WbemOem", L"Maker Inc.")
      .Text(kOem, L"WbemProduct", L"Model 7")
      .Text(kSystem, L"SystemManufacturer", L"Other maker")
      .Text(kSystem, L"SystemProductName", L"Other model");
  EXPECT_EQ(SystemModel(registry), L"SystemModel : Model 7\nProduct : Maker Inc.\n");
}

TEST(SystemModelReport, FallsBackToTheSystemInformationKey) {
  FakeRegistry registry;
  registry.Text(kSystem, L"SystemManufacturer", L"Maker Inc.").Text(kSystem, L"SystemProductName", L"Model 7");
  EXPECT_EQ(SystemModel(registry), L"SystemModel : Maker Inc.\nProduct : Model 7\n");
  EXPECT_EQ(SystemModel(FakeRegistry()), L"");
}

TEST(SystemModelReport, ReadsOnlyTheFirstKeyThatOpens) {
  // The OEM key without its first value: nothing, and the other key is not read.
  FakeRegistry registry;
  registry.Text(kOem, L"WbemOem", L"Maker Inc.")
      .Text(kSystem, L"SystemManufacturer", L"Other maker")
      .Text(kSystem, L"SystemProductName", L"Other model");
  EXPECT_EQ(SystemModel(registry), L"");
  FakeRegistry empty_key;
  empty_key.Key(kOem).Text(kSystem, L"SystemManufacturer", L"Other maker");
  EXPECT_EQ(SystemModel(empty_key), L"");
}

TEST(SystemModelReport, PrintsStringValuesOnly) {
  FakeRegistry expand;
  expand.Text(kSystem, L"SystemManufacturer", L"%MAKER%", REG_EXPAND_SZ)
      .Text(kSystem, L"SystemProductName", L"Model 7");
  EXPECT_EQ(SystemModel(expand), L"Product : Model 7\n");

  FakeRegistry binary_product;
  binary_product.Text(kSystem, L"SystemManufacturer", L"Maker Inc.")
      .Value(kSystem, L"SystemProductName", REG_BINARY, UnterminatedText(L"Model 7"));
  EXPECT_EQ(SystemModel(binary_product), L"SystemModel : Maker Inc.\n");

  FakeRegistry missing_product;
  missing_product.Text(kSystem, L"SystemManufacturer", L"Maker Inc.");
  EXPECT_EQ(SystemModel(missing_product), L"SystemModel : Maker Inc.\n");
}

TEST(SystemModelReport, KeepsTheLabelForAnEmptyValue) {
  FakeRegistry registry;
  registry.Text(kSystem, L"SystemManufacturer", L"").Value(kSystem, L"SystemProductName", REG_SZ, {});
  EXPECT_EQ(SystemModel(registry), L"SystemModel : \nProduct : \n");
}

TEST(SystemModelReport, CutsLongOrUnterminatedValuesSafely) {
  const std::wstring long_text = std::wstring(300, L'M');
  FakeRegistry registry;
  registry.Value(kSystem, L"SystemManufacturer", REG_SZ, UnterminatedText(long_text))
      .Value(kSystem, L"SystemProductName", REG_SZ, UnterminatedText(std::wstring(L"Model\0Hidden", 12)));
  EXPECT_EQ(SystemModel(registry),
            L"SystemModel : " + std::wstring(kSystemModelValueBytes / 2, L'M') + L"\nProduct : Model\n");

  std::vector<BYTE> odd = UnterminatedText(L"Maker");
  odd.push_back('!');
  FakeRegistry odd_size;
  odd_size.Value(kSystem, L"SystemManufacturer", REG_SZ, odd);
  EXPECT_EQ(SystemModel(odd_size), L"SystemModel : Maker\n");
}

}  // namespace
}  // namespace orvanta
