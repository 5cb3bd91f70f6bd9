// What a control does for each verb that a container asks of it.
#pragma once

#include <windows.h>
#include <olectl.h>

namespace orvanta {

enum class VerbAction {
  kInPlaceActivate,  // become in-place active, without the user interface
  kUIActivate,       // in-place active with the user interface
  kHide,             // leave the user interface and hide the window
  kProperties,       // show the property sheet
  kNone,             // nothing: the call answers |result|
};

struct VerbDecision {
  VerbAction action;
  HRESULT result;  // what DoVerb answers once the action has succeeded
};

// The standard verbs and the Properties verb. A positive verb that the control
// does not list does what the primary verb does and answers
// OLEOBJ_S_INVALIDVERB; any other negative verb is not implemented.
VerbDecision DecideVerb(LONG verb);

}  // namespace orvanta
