#pragma once
// The icon view that shows a mail window's attachments (lsvAttach). It shows
// an AttachmentList in its order, drags the selected attachments out (to
// another mail window) and, where the window allows, takes attachments and
// files in: a drag inside the view moves an item, one from another mail
// window's view copies, files from the desktop are attached.
#include <QListWidget>
#include <QMimeData>

#include <filesystem>
#include <memory>
#include <vector>

#include "core/data/MailAttachments.h"

class TImageList;

namespace qv {

// The picture of an attachment icon index: a sheet showing the kind.
QIcon AttachmentIcon(int iconIndex);

// Attachments dragged out of a view, copied when the drag starts.
class AttachmentMimeData : public QMimeData {
  Q_OBJECT
 public:
  static constexpr const char* kFormat = "application/x-quorvel-attachments";
  const QObject* source = nullptr;
  std::vector<MailAttachment> items;
  std::vector<int> rows;
};

// Offers a save dialog for each row, preset to the attachment's name in the
// folder last saved to, and writes the bytes unchanged where the user chose.
void SaveAttachments(QWidget* parent, const AttachmentList& list, const std::vector<int>& rows);

class TAttachListView : public QListWidget {
  Q_OBJECT
 public:
  TAttachListView(AttachmentList& list, QWidget* parent = nullptr);

  // Shows the list's items again, keeping the selection where it can.
  void Refresh();
  // Indexes of the selected items, ascending.
  std::vector<int> SelectedRows() const;
  void SelectRow(int row);
  // Accept drops: attachments from other views, moves inside, dropped files.
  void SetAcceptsAttachments(bool accept);
  // What a drag of the selected attachments carries; null without a selection.
  std::unique_ptr<AttachmentMimeData> SelectionDragData() const;

 signals:
  // The user moved or copied items in; the view already shows them.
  void AttachmentsDropped();
  void FilesDropped(const std::vector<std::filesystem::path>& files);
  void OpenRequested();
  void DeleteRequested();
  void HeaderRequested();

 protected:
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool Acceptable(const QMimeData* data) const;

  AttachmentList& list_;
  bool accepts_ = false;

 public:
  // The user-character images of the window, rebuilt from a copied
  // "OPTCHAR.DAT".
  TImageList* userImages = nullptr;
};

}  // namespace qv
