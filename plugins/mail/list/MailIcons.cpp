#include "plugins/mail/list/MailIcons.h"

#include "controls/ImageList.h"
#include "core/ui/Pictures.h"
#include "plugins/mail/list/QvMailListFRM.h"

#include <QAction>
#include <QPixmap>

namespace qv {

void LoadMailIcons(TImageList& clipIcons, TImageList& mailIcons, TImageList& picText) {
  clipIcons.SetWidth(kClipIconWidth);
  clipIcons.SetHeight(kClipIconHeight);
  mailIcons.SetWidth(kMailIconWidth);
  mailIcons.SetHeight(kMailIconHeight);
  picText.SetWidth(kPicTextWidth);
  picText.SetHeight(kPicTextHeight);
  LoadImageListFromDll("CLIPICON", clipIcons);
  LoadImageListFromDll("MAILICON", mailIcons);
  LoadImageListFromDll("PICTEXT", picText);
}

void ApplyActionIcons(TfrmMailList& w) {
  // Cells of "CLIPICON".
  const std::pair<QAction*, int> icons[] = {
      {w.actEMail, 5},          {w.actDMail, 27},       {w.actSendRcv, 10},    {w.actRcvAll, 2},
      {w.actRcvSelect, 16},     {w.actDirectMailReSend, 29}, {w.actMailOpen, 9}, {w.actRes, 6},
      {w.actResAll, 7},         {w.actTransfer, 8},     {w.actMailDelete, 4},  {w.actMailGuard, 19},
      {w.actMailNonGuard, 20},  {w.actMailSelectAll, 21}, {w.actDustBoxClear, 4}, {w.actNewFolder, 36},
      {w.actDelFolder, 4},      {w.actInportFromPHS, 2}, {w.actExportToPHS, 1}, {w.actClose, 34},
  };
  for (const auto& [action, image] : icons) action->setIcon(ImageListIcon(*w.ImageList1, image));
  w.setWindowIcon(ImageListIcon(*w.ImageList1, 9));
}

}  // namespace qv
