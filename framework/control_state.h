// ControlState: what a control saves of itself, and the rules that turn saved
// bytes or property-bag values back into it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace orvanta {

// The property format that this framework writes: version 1.0, major in the
// high 16 bits, minor in the low 16 bits. Older versions load and are saved
// again in this one.
inline constexpr DWORD kStateFormatVersion = 0x10000;

struct ControlState {
  DWORD version = kStateFormatVersion;
  SIZEL extent = {0, 0};  // HIMETRIC
  DWORD stock_properties = 0;  // which stock properties follow; none are kept

  bool operator==(const ControlState& other) const {
    return version == other.version && extent.cx == other.extent.cx && extent.cy == other.extent.cy &&
           stock_properties == other.stock_properties;
  }
};

// A saved state in a stream: version, extent width, extent height and the
// stock-property mask, each 32 bits, little-endian.
inline constexpr size_t kStateStreamSize = 16;
using StateBytes = std::array<std::uint8_t, kStateStreamSize>;

StateBytes EncodeState(const ControlState& state);

// Decodes a stream's bytes. |bytes| is all that the stream held, up to
// kStateStreamSize. Returns S_OK and fills |state| with the state to keep (in
// the current format); STG_E_READFAULT when the bytes end early; E_FAIL when
// they are not a state that this format can hold. |state| is left untouched
// on failure.
HRESULT DecodeState(std::span<const std::uint8_t> bytes, ControlState* state);

// The values that a property bag held under "_Version", "_ExtentX",
// "_ExtentY" and "_StockProps"; an absent value keeps |base|'s. A bag value
// that could not be read as a number arrives as |unreadable|.
struct BagValues {
  std::optional<LONG> version, extent_x, extent_y, stock_properties;
  bool unreadable = false;
};

// The same rules as DecodeState for a property bag.
HRESULT DecodeBagState(const BagValues& values, const ControlState& base, ControlState* state);

// The property-bag names of the saved values, in the order they are written.
inline constexpr const wchar_t* kBagVersion = L"_Version";
inline constexpr const wchar_t* kBagExtentX = L"_ExtentX";
inline constexpr const wchar_t* kBagExtentY = L"_ExtentY";
inline constexpr const wchar_t* kBagStockProps = L"_StockProps";

}  // namespace orvanta
