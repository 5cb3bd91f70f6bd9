// WMIDataHandle: what one WMI query asks for and what becomes of its answers.
// A concrete handler names the namespace, the query and the properties it
// wants, and consumes the values of one result object at a time; the query
// itself is run by WMIQueryRunner (wmi/wmi_query_runner.h).
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <map>
#include <string>

namespace orvanta {

// Property name to the property's value as text, one entry per property that
// the handler declares.
using PropertyMap = std::map<std::wstring, std::wstring>;

class WMIDataHandle {
 public:
  WMIDataHandle(const WMIDataHandle&) = delete;
  WMIDataHandle& operator=(const WMIDataHandle&) = delete;

  // Consumes the values of one result object (trimming them in place). Returns
  // 1 when the object gave a usable result, 0 otherwise.
  virtual int HandleData(PropertyMap& properties) = 0;
  // Brings the handler to its initial state: every map entry empty, namespace
  // and query set. Overrides call this version first.
  virtual void InitData();
  // Number of properties that the handler wants.
  virtual int GetPropertyCount() = 0;
  // The name of property |index| (0-based); a constant of the handler's table.
  virtual const wchar_t* GetPropertyName(int index) = 0;
  // The cell that holds the initial value of property |index|.
  virtual std::wstring& GetPropertyCell(int index) = 0;

  PropertyMap& Properties() { return properties_; }
  const std::wstring& Namespace() const { return namespace_; }
  const std::wstring& Query() const { return query_; }

 protected:
  WMIDataHandle() = default;
  // Handlers are local objects destroyed by their own type.
  ~WMIDataHandle() = default;

  void SetNamespace(const wchar_t* path) { namespace_ = path; }
  void SetQuery(const wchar_t* query) { query_ = query; }

 private:
  PropertyMap properties_;
  std::wstring namespace_;
  std::wstring query_;
};

// The property table of a concrete handler: the names it wants, and one cell
// per name, which holds the initial value of that name's map entry. Gives the
// three table operations once for every handler.
template <size_t N>
class WMIPropertyTable : public WMIDataHandle {
 public:
  int GetPropertyCount() override { return static_cast<int>(N); }
  const wchar_t* GetPropertyName(int index) override { return names_[index]; }
  std::wstring& GetPropertyCell(int index) override { return cells_[index]; }

 protected:
  // |names| must outlive the handler (a table of constants).
  explicit WMIPropertyTable(const wchar_t* const (&names)[N]) : names_(names) {}
  ~WMIPropertyTable() = default;

 private:
  std::array<std::wstring, N> cells_;
  const wchar_t* const (&names_)[N];
};

// Stores the text of |value| into |text| as a property read from WMI becomes
// text: VT_I2 and VT_I4 in decimal, VT_I8 in full signed 64-bit decimal,
// VT_BSTR as it is (a null string as empty text). Any other type leaves |text|
// as it was, and the function returns false. Throws std::bad_alloc.
bool StorePropertyText(const VARIANT& value, std::wstring& text);

// |text| without white space at its right end, then at its left end, in place.
void TrimPropertyText(std::wstring& text);

}  // namespace orvanta
