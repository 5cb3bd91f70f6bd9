#include "framework/control_state.h"

namespace orvanta {
namespace {

void Put32(std::uint32_t value, std::uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* in) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return value;
}

// A state that this format can hold: no newer version, no negative extent,
// and no stock property, since the control keeps none and could not read one.
HRESULT Accept(DWORD version, LONG cx, LONG cy, DWORD stock, ControlState* state) {
  if (version > kStateFormatVersion || cx < 0 || cy < 0 || stock != 0) return E_FAIL;
  *state = {kStateFormatVersion, {cx, cy}, 0};
  return S_OK;
}

}  // namespace

StateBytes EncodeState(const ControlState& state) {
  StateBytes bytes{};
  Put32(state.version, &bytes[0]);
  Put32(static_cast<std::uint32_t>(state.extent.cx), &bytes[4]);
  Put32(static_cast<std::uint32_t>(state.extent.cy), &bytes[8]);
  Put32(state.stock_properties, &bytes[12]);
  return bytes;
}

HRESULT DecodeState(std::span<const std::uint8_t> bytes, ControlState* state) {
  if (bytes.size() < kStateStreamSize) return STG_E_READFAULT;
  return Accept(Get32(&bytes[0]), static_cast<LONG>(Get32(&bytes[4])), static_cast<LONG>(Get32(&bytes[8])),
                Get32(&bytes[12]), state);
}

HRESULT DecodeBagState(const BagValues& values, const ControlState& base, ControlState* state) {
  if (values.unreadable) return E_FAIL;
  return Accept(values.version ? static_cast<DWORD>(*values.version) : base.version,
                values.extent_x.value_or(base.extent.cx), values.extent_y.value_or(base.extent.cy),
                values.stock_properties ? static_cast<DWORD>(*values.stock_properties) : base.stock_properties,
                state);
}

}  // namespace orvanta
