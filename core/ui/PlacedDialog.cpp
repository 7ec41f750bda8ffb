#include "core/ui/PlacedDialog.h"

#include "core/ui/FormPosition.h"

namespace qv {

void TPlacedDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (placed_) return;
  placed_ = true;
  LoadFormPosition(this, kPlaceOwnerCentre, 0, ident_);
}

void TPlacedDialog::done(int result) {
  if (placed_) SaveFormPosition(this, ident_);
  QDialog::done(result);
}

}  // namespace qv
