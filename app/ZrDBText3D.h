// The data-aware twin of the 3D label: the same drawing over the display text of a dataset field,
// with a vertical layout of its own (top by default) and no automatic sizing.
#pragma once

#include "app/ZrLabel3D.h"
#include "platform/gui/DBCtrls.h"

// The data text's own names for the label's enumerations: the same values.
using TZrDBText3DBevel = TZrLabel3DBevel;
using TZrDBText3DBorderStyle = TZrLabel3DBorderStyle;

class TZrDBText3D : public TZr3DTextControl<TDBText> {
  TALVIK_CLASS(TZrDBText3D, TDBText)
  explicit TZrDBText3D(TComponent* AOwner);
};
