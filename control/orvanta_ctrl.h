// COrvantaCtrl: the Pelmora Control. Every method of _DOrvanta answers one
// survey report, built afresh for each call.
#pragma once

#include "framework/control.h"

namespace orvanta {

// OLEMISC bits: set client site first, invisible at run time, activate when
// visible, inside-out, can't link inside, recompose on resize.
inline constexpr DWORD kOrvantaMiscStatus = 0x20591;

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
