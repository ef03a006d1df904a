#include "app/ZrDBText3D.h"

TZrDBText3D::TZrDBText3D(TComponent* AOwner) : TZr3DTextControl<TDBText>(AOwner) {
  SetAutoSize(false);
  SetLayout(tlTop);
}
