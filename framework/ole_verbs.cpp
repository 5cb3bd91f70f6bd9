#include "framework/ole_verbs.h"

namespace orvanta {
namespace {

struct VerbRow {
  LONG verb;
  VerbAction action;
};

constexpr VerbRow kVerbs[] = {
    {OLEIVERB_PRIMARY, VerbAction::kUIActivate},
    {OLEIVERB_SHOW, VerbAction::kUIActivate},
    {OLEIVERB_UIACTIVATE, VerbAction::kUIActivate},
    {OLEIVERB_INPLACEACTIVATE, VerbAction::kInPlaceActivate},
    {OLEIVERB_HIDE, VerbAction::kHide},
    {OLEIVERB_PROPERTIES, VerbAction::kProperties},
};

}  // namespace

VerbDecision DecideVerb(LONG verb) {
  for (const VerbRow& row : kVerbs) {
    if (row.verb == verb) return {row.action, S_OK};
  }
  if (verb > 0) return {VerbAction::kUIActivate, OLEOBJ_S_INVALIDVERB};
  return {VerbAction::kNone, E_NOTIMPL};
}

}  // namespace orvanta
