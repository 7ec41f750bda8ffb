#pragma once
// Pieces the compose window and the viewer are both made of.
#include "plugins/mail/WindowText.h"

#include <QImage>
#include <QString>

#include <map>
#include <string>
#include <string_view>

class QAction;
class QMainWindow;
class QObject;
class QScrollBar;
class QToolBar;
class QWidget;
class TKMailEdit;

namespace qv {

class AttachmentList;
class TAttachListView;

// An action with its object name, caption and hint.
QAction* NewAction(QObject* owner, const char* name, const char* caption, const char* hint = nullptr);
// The window's tool bar: captions only, fixed in place.
QToolBar* NewToolBar(QMainWindow* window);

// An editor of the mail windows: the font size of [Environment] FontSize and
// the list window's pictograph table and images.
TKMailEdit* NewMailEditor(QWidget* parent);
// Such an editor with its scroll bar beside it; the scroll bar follows the
// editor and moving it scrolls the editor.
QWidget* NewEditorPane(QWidget* parent, TKMailEdit*& editor, QScrollBar*& scrollBar);
// Sets the scroll bar from the editor's lines.
void UpdateEditorScrollBar(TKMailEdit* editor, QScrollBar* scrollBar);
// The body as plain text or as markup, the caret at its start.
void LoadEditorBody(TKMailEdit* editor, std::string_view body, bool plain);

// Answers the editor's picture requests from the window's picture (kind 0)
// attachments: each name is decoded once (an unreadable one as the broken
// picture) and kept until Forget, which the window calls whenever its
// attachments change. Names in the markup never open files.
class EditorPictures {
 public:
  EditorPictures(TKMailEdit* editor, const AttachmentList& list);
  ~EditorPictures();
  EditorPictures(const EditorPictures&) = delete;
  EditorPictures& operator=(const EditorPictures&) = delete;
  void Forget() { cache_.clear(); }

 private:
  struct Picture {
    QImage bitmap;
    std::string headers;
  };
  const Picture& Find(const std::string& name);

  TKMailEdit* editor_;
  const AttachmentList& list_;
  std::map<std::string, Picture> cache_;
};

// The remembered header lines of the one selected attachment, in a box.
void ShowSelectedAttachmentHeader(QWidget* parent, const AttachmentList& list, const TAttachListView& view);

}  // namespace qv
