// What a control saves, what it accepts back, and what each verb does.
#include <gtest/gtest.h>

#include <vector>

#include "framework/control_state.h"
#include "framework/ole_verbs.h"

namespace orvanta {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
  return bytes;
}

TEST(ControlStateStream, WritesVersionExtentAndStockMaskLittleEndian) {
  const StateBytes bytes = EncodeState({kStateFormatVersion, {2646, 1323}, 0});
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), Bytes({0x10000, 2646, 1323, 0}));
}

struct StreamCase {
  const char* what;
  std::vector<std::uint8_t> bytes;
  HRESULT result;
  SIZEL extent;  // when loaded
};

TEST(ControlStateStream, LoadsCurrentAndOlderFormatsAndRejectsDamage) {
  const StreamCase cases[] = {
      {"current format", Bytes({0x10000, 100, 200, 0}), S_OK, {100, 200}},
      {"older format", Bytes({0x0, 300, 400, 0}), S_OK, {300, 400}},
      {"older minor version", Bytes({0xFFFF, 5, 6, 0}), S_OK, {5, 6}},
      {"empty", {}, STG_E_READFAULT, {}},
      {"truncated", Bytes({0x10000, 100, 200}), STG_E_READFAULT, {}},
      {"one byte short", [] { auto b = Bytes({0x10000, 1, 2, 0}); b.pop_back(); return b; }(), STG_E_READFAULT, {}},
      {"newer version", Bytes({0x20000, 100, 200, 0}), E_FAIL, {}},
      {"negative width", Bytes({0x10000, 0xFFFFFFFF, 200, 0}), E_FAIL, {}},
      {"negative height", Bytes({0x10000, 100, 0x80000000, 0}), E_FAIL, {}},
      {"stock properties", Bytes({0x10000, 100, 200, 1}), E_FAIL, {}},
      {"garbage", Bytes({0xDEADBEEF, 0xFEEDFACE, 0xCAFEBABE, 0x8BADF00D}), E_FAIL, {}},
  };
  for (const StreamCase& c : cases) {
    ControlState state{7, {1, 2}, 0};
    EXPECT_EQ(DecodeState(c.bytes, &state), c.result) << c.what;
    if (c.result == S_OK) {
      EXPECT_EQ(state, (ControlState{kStateFormatVersion, c.extent, 0})) << c.what;
    } else {
      EXPECT_EQ(state, (ControlState{7, {1, 2}, 0})) << c.what << ": left as it was";
    }
  }
}

struct BagCase {
  const char* what;
  BagValues values;
  HRESULT result;
  SIZEL extent;
};

TEST(ControlStateBag, KeepsAbsentValuesAndRejectsDamage) {
  const ControlState base{kStateFormatVersion, {10, 20}, 0};
  const BagCase cases[] = {
      {"all values", {65536, 300, 400, 0, false}, S_OK, {300, 400}},
      {"nothing", {}, S_OK, {10, 20}},
      {"extent only", {std::nullopt, 30, std::nullopt, std::nullopt, false}, S_OK, {30, 20}},
      {"older version", {0, 5, 6, 0, false}, S_OK, {5, 6}},
      {"newer version", {0x20000, 5, 6, 0, false}, E_FAIL, {}},
      {"negative version", {-1, 5, 6, 0, false}, E_FAIL, {}},
      {"negative extent", {65536, -5, 6, 0, false}, E_FAIL, {}},
      {"stock properties", {65536, 5, 6, 3, false}, E_FAIL, {}},
      {"unreadable value", {65536, 5, 6, 0, true}, E_FAIL, {}},
  };
  for (const BagCase& c : cases) {
    ControlState state = base;
    EXPECT_EQ(DecodeBagState(c.values, base, &state), c.result) << c.what;
    const ControlState expected = c.result == S_OK ? ControlState{kStateFormatVersion, c.extent, 0} : base;
    EXPECT_EQ(state, expected) << c.what;
  }
}

TEST(OleVerbs, MapsStandardVerbsAndThePropertiesVerb) {
  struct Case {
    LONG verb;
    VerbAction action;
    HRESULT result;
  };
  const Case cases[] = {
      {OLEIVERB_PRIMARY, VerbAction::kUIActivate, S_OK},
      {OLEIVERB_SHOW, VerbAction::kUIActivate, S_OK},
      {OLEIVERB_UIACTIVATE, VerbAction::kUIActivate, S_OK},
      {OLEIVERB_INPLACEACTIVATE, VerbAction::kInPlaceActivate, S_OK},
      {OLEIVERB_HIDE, VerbAction::kHide, S_OK},
      {OLEIVERB_PROPERTIES, VerbAction::kProperties, S_OK},
      {OLEIVERB_OPEN, VerbAction::kNone, E_NOTIMPL},
      {OLEIVERB_DISCARDUNDOSTATE, VerbAction::kNone, E_NOTIMPL},
      {-100, VerbAction::kNone, E_NOTIMPL},
      {1, VerbAction::kUIActivate, OLEOBJ_S_INVALIDVERB},
      {42, VerbAction::kUIActivate, OLEOBJ_S_INVALIDVERB},
  };
  for (const Case& c : cases) {
    const VerbDecision decision = DecideVerb(c.verb);
    EXPECT_EQ(decision.action, c.action) << c.verb;
    EXPECT_EQ(decision.result, c.result) << c.verb;
  }
}

}  // namespace
}  // namespace orvanta
