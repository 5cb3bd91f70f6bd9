// COrvantaCtrl: the Pelmora Control. Every method of _DOrvanta answers one
// survey report, built afresh for each call.
#pragma once

#include "framework/control.h"

namespace orvanta {

// What the control tells its container of itself (0x20591): invisible when
// the host runs its page, so that it paints only in a design-mode host.
inline constexpr DWORD kOrvantaMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME |
                                            OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                                            OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;

// The type library is written for, and registered under, English (United States).
inline constexpr LCID kTypeLibraryLocale = 0x0409;

// The control's picture at design time: |bounds| filled with the stock white
// brush, then the ellipse inscribed in it, drawn with the pen and brush that
// |dc| has selected.
void DrawPlaceholder(HDC dc, const RECT& bounds);

class COrvantaCtrl : public CControl {
 public:
  COrvantaCtrl();

 protected:
  DISPID FindMethod(const wchar_t* name) const override;
  bool HasMethod(DISPID id) const override;
  void CallMethod(DISPID id, VARIANT* result) override;
  void OnDraw(HDC dc, const RECT& bounds) override;

 private:
  // Shows the About box modally and returns when it is closed.
  void AboutBox();
};

}  // namespace orvanta
