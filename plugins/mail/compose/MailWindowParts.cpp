#include "plugins/mail/compose/MailWindowParts.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/ui/Dialogs.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/list/QvMailListFRM.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QScrollBar>
#include <QToolBar>


namespace qv {

QAction* NewAction(QObject* owner, const char* name, const char* caption, const char* hint) {
  auto* action = new QAction(Q(caption), owner);
  action->setObjectName(QString::fromLatin1(name));
  if (hint) {
    action->setToolTip(Q(hint));
    action->setStatusTip(Q(hint));
  }
  return action;
}

QToolBar* NewToolBar(QMainWindow* window) {
  QToolBar* bar = window->addToolBar(Q("ツールバー"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return bar;
}

TKMailEdit* NewMailEditor(QWidget* parent) {
  auto* editor = new TKMailEdit(parent);
  editor->setObjectName(QStringLiteral("KMailEdit1"));
  QFont font = editor->font();
  font.setPointSize(IniReadInteger(keys::FontSize));
  editor->setFont(font);
  editor->SetPicTextList(ListPicTextLines());
  if (frmMailList) editor->SetPicTextImages(frmMailList->imlPicText);
  return editor;
}

QWidget* NewEditorPane(QWidget* parent, TKMailEdit*& editor, QScrollBar*& scrollBar) {
  auto* pane = new QWidget(parent);
  auto* row = new QHBoxLayout(pane);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  editor = NewMailEditor(pane);
  scrollBar = new QScrollBar(Qt::Vertical, pane);
  scrollBar->setObjectName(QStringLiteral("ScrollBar1"));
  row->addWidget(editor, 1);
  row->addWidget(scrollBar);
  TKMailEdit* e = editor;
  QScrollBar* bar = scrollBar;
  QObject::connect(e, &TKMailEdit::OnScrollChange, bar, [e, bar] { UpdateEditorScrollBar(e, bar); });
  QObject::connect(bar, &QScrollBar::valueChanged, e, [e](int v) {
    if (v != e->TopLine()) e->SetTopLine(v);
  });
  return pane;
}

void UpdateEditorScrollBar(TKMailEdit* editor, QScrollBar* scrollBar) {
  const int count = editor->TopLineCount();
  QSignalBlocker block(scrollBar);
  scrollBar->setRange(0, std::max(0, count - 1));
  scrollBar->setPageStep(editor->VisibleLineCount());
  scrollBar->setValue(editor->TopLine());
  scrollBar->setEnabled(count > 1);
}

void LoadEditorBody(TKMailEdit* editor, std::string_view body, bool plain) {
  if (plain)
    editor->SetPlainText(body);
  else
    editor->SetMarkupText(body);
  editor->CaretToStart();
}

EditorPictures::EditorPictures(TKMailEdit* editor, const AttachmentList& list) : editor_(editor), list_(list) {
  editor_->OnBmpData = [this](TKMailEdit*, const std::string& name, QImage& bmp, std::string& headers) {
    const Picture& picture = Find(name);
    bmp = picture.bitmap;
    headers = picture.headers;
  };
}

EditorPictures::~EditorPictures() { editor_->OnBmpData = nullptr; }

const EditorPictures::Picture& EditorPictures::Find(const std::string& name) {
  auto it = cache_.find(name);
  if (it != cache_.end()) return it->second;
  Picture picture;
  const int index = list_.Find(name);
  if (index >= 0 && MediaFileKind(list_[static_cast<size_t>(index)].name) == kMediaBitmap) {
    const MailAttachment& item = list_[static_cast<size_t>(index)];
    picture.bitmap = DecodeAttachmentPicture(item.name, item.bytes);
    picture.headers = item.headers;
  }
  return cache_.emplace(name, std::move(picture)).first->second;
}

void ShowSelectedAttachmentHeader(QWidget* parent, const AttachmentList& list, const TAttachListView& view) {
  const std::vector<int> rows = view.SelectedRows();
  if (rows.size() == 1) ShowInformation(parent, list[static_cast<size_t>(rows[0])].headers);
}

}  // namespace qv
