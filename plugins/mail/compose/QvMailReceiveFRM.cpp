#include "plugins/mail/compose/QvMailReceiveFRM.h"

#include "controls/ImageList.h"
#include "core/data/AddressFunctions.h"
#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/compose/MailWindowParts.h"
#include "plugins/mail/pickers/QvImageViewFRM.h"
#include "plugins/mail/list/QvMailListFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"
#include "core/data/StoredMail.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace qv {

namespace {

const std::string& Trash() { return FixedFolderName(FixedFolder::Trash); }

// A read-only header field on its own panel, its caption to the left.
QWidget* HeaderRow(const char* name, const QString& caption, QLineEdit*& field, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1("pnl") + QString::fromLatin1(name));
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(4, 1, 4, 1);
  auto* label = new QLabel(caption, panel);
  label->setFixedWidth(56);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  field = new QLineEdit(panel);
  field->setObjectName(QString::fromLatin1("edt") + QString::fromLatin1(name));
  field->setReadOnly(true);
  row->addWidget(label);
  row->addWidget(field, 1);
  return panel;
}

bool SingleByteOnly(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (cp932::IsLeadByte(text[i])) return false;
  return true;
}

}  // namespace

TfrmMailReceive::TfrmMailReceive(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMailReceive"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(Q("VeoQuorvel - メール"));
  resize(600, 500);
  imlUserText = new TImageList(12, 12, this);
  BuildActions();
  BuildLayout();
  UpdateActions();
}

TfrmMailReceive::~TfrmMailReceive() = default;

void TfrmMailReceive::BuildActions() {
  actRes = NewAction(this, "actRes", "返信", "メールを返信");
  actResAll = NewAction(this, "actResAll", "全員に返信", "メールを全員に返信");
  actTransfer = NewAction(this, "actTransfer", "転送", "メールを転送");
  actDel = NewAction(this, "actDel", "削除", "メールを削除");
  actCopy = NewAction(this, "actCopy", "コピー(&C)");
  actTel = NewAction(this, "actTel", "電話帳に登録(&T)");
  actTelSend = NewAction(this, "actTelSend", "メールを送信する(&M)");
  actBookMark = NewAction(this, "actBookMark", "ブックマークに登録(&B)");
  actAttachView = NewAction(this, "actAttachView", "開く(&O)");
  actAttachSave = NewAction(this, "actAttachSave", "ファイルへ保存");
  actClose = NewAction(this, "actClose", "閉じる");
  actCopy->setShortcut(QKeySequence::Copy);
  actCopy->setShortcutContext(Qt::WindowShortcut);

  connect(actRes, &QAction::triggered, this, [this] { ReplyOrForward(TfrmMailList::kReply); });
  connect(actResAll, &QAction::triggered, this, [this] { ReplyOrForward(TfrmMailList::kReplyAll); });
  connect(actTransfer, &QAction::triggered, this, [this] { ReplyOrForward(TfrmMailList::kForward); });
  connect(actDel, &QAction::triggered, this, &TfrmMailReceive::DeleteShownMail);
  connect(actCopy, &QAction::triggered, this, &TfrmMailReceive::CopySelection);
  connect(actTel, &QAction::triggered, this, [this] {
    bool web = false;
    std::string address = ChosenAddress(&web);
    if (!address.empty() && !web) CallHostStr(QV_STR_TO_ADDRESS, address);
  });
  connect(actBookMark, &QAction::triggered, this, [this] {
    bool web = false;
    std::string address = ChosenAddress(&web);
    if (!address.empty() && web) CallHostStr(QV_STR_TO_BOOKMARKS, address);
  });
  connect(actTelSend, &QAction::triggered, this, &TfrmMailReceive::WriteToAddress);
  connect(actAttachSave, &QAction::triggered, this,
          [this] { SaveAttachments(this, attachments_, lsvAttach->SelectedRows()); });
  connect(actAttachView, &QAction::triggered, this, [this] {
    const int row = ViewableRow(attachments_, lsvAttach->SelectedRows());
    if (row >= 0) ShowAttachmentViewer(this, attachments_, row);
  });
  connect(actClose, &QAction::triggered, this, &QWidget::close);
}

void TfrmMailReceive::BuildLayout() {
  auto* file = menuBar()->addMenu(Q("ファイル(&F)"));
  file->addAction(actClose);
  auto* edit = menuBar()->addMenu(Q("編集(&E)"));
  edit->addAction(actCopy);
  edit->addSeparator();
  edit->addActions({actTel, actTelSend, actBookMark});
  auto* mail = menuBar()->addMenu(Q("メール(&M)"));
  mail->addActions({actRes, actResAll, actTransfer});
  mail->addSeparator();
  mail->addAction(actDel);
  auto* attach = menuBar()->addMenu(Q("添付(&A)"));
  attach->addActions({actAttachView, actAttachSave});

  QToolBar* bar = NewToolBar(this);
  bar->addActions({actRes, actResAll, actTransfer});
  bar->addSeparator();
  bar->addAction(actDel);
  bar->addSeparator();
  bar->addAction(actClose);

  popRight = new QMenu(this);
  popRight->setObjectName(QStringLiteral("popRight"));
  popRight->addAction(actCopy);
  popRight->addSeparator();
  popRight->addActions({actTel, actTelSend, actBookMark});

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(4, 4, 4, 4);
  pnlHeadBase = new QWidget(central);
  pnlHeadBase->setObjectName(QStringLiteral("pnlHeadBase"));
  auto* baseLayout = new QVBoxLayout(pnlHeadBase);
  baseLayout->setContentsMargins(0, 0, 0, 0);
  pnlHead = new QWidget(pnlHeadBase);
  pnlHead->setObjectName(QStringLiteral("pnlHead"));
  auto* headLayout = new QVBoxLayout(pnlHead);
  headLayout->setContentsMargins(0, 3, 0, 3);
  headLayout->setSpacing(0);
  pnlFrom = HeaderRow("From", Q("差出人:"), edtFrom, pnlHead);
  pnlTo = HeaderRow("To", Q("宛先:"), edtTo, pnlHead);
  pnlCC = HeaderRow("CC", QStringLiteral("CC:"), edtCC, pnlHead);
  pnlBCC = HeaderRow("BCC", QStringLiteral("BCC:"), edtBCC, pnlHead);
  pnlSubject = HeaderRow("Subject", Q("件名:"), edtSubject, pnlHead);
  pnlDate = HeaderRow("Date", Q("日付:"), edtDate, pnlHead);
  for (QWidget* p : {pnlFrom, pnlTo, pnlCC, pnlBCC, pnlSubject, pnlDate}) headLayout->addWidget(p);
  baseLayout->addWidget(pnlHead);
  outer->addWidget(pnlHeadBase);

  auto* split = new QSplitter(Qt::Vertical, central);
  QWidget* editorPane = NewEditorPane(split, KMailEdit1, ScrollBar1);
  KMailEdit1->SetPreview(true);
  KMailEdit1->SetUserTextImages(imlUserText);
  pictures_ = std::make_unique<EditorPictures>(KMailEdit1, attachments_);
  lsvAttach = new TAttachListView(attachments_, split);
  lsvAttach->userImages = imlUserText;
  split->addWidget(editorPane);
  split->addWidget(lsvAttach);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);
  lsvAttach->hide();
  outer->addWidget(split, 1);
  setCentralWidget(central);

  for (QLineEdit* field : {edtFrom, edtTo, edtCC, edtBCC}) {
    field->installEventFilter(this);
    field->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(field, &QWidget::customContextMenuRequested, this, [this, field](const QPoint& pos) {
      UpdateActions();
      popRight->popup(field->mapToGlobal(pos));
    });
    connect(field, &QLineEdit::cursorPositionChanged, this, &TfrmMailReceive::UpdateActions);
  }
  KMailEdit1->installEventFilter(this);
  connect(KMailEdit1, &TKMailEdit::OnSelectionChange, this, &TfrmMailReceive::UpdateActions);
  connect(KMailEdit1, &TKMailEdit::OnClickableClick, this, &TfrmMailReceive::UpdateActions);
  connect(lsvAttach, &QListWidget::itemSelectionChanged, this, &TfrmMailReceive::UpdateActions);
  connect(lsvAttach, &TAttachListView::HeaderRequested, this,
          [this] { ShowSelectedAttachmentHeader(this, attachments_, *lsvAttach); });
  connect(lsvAttach, &TAttachListView::OpenRequested, this, [this] {
    UpdateActions();
    if (actAttachView->isEnabled()) actAttachView->trigger();
  });
  appLinks_.Connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
}

void TfrmMailReceive::SetFields(std::string_view from, std::string_view to, std::string_view cc, std::string_view bcc,
                                std::string_view subject, std::string_view date) {
  from_ = std::string(from);
  to_ = std::string(to);
  cc_ = std::string(cc);
  bcc_ = std::string(bcc);
  edtSubject->setText(ToQString(subject));
  edtDate->setText(ToQString(date));
  // Addresses show with the owners' names from the phone book as comments.
  auto shown = [this](const std::string& list) {
    return ToQString(ParseAddressList(list, email_, false, true, {}, true, false));
  };
  edtFrom->setText(shown(from_));
  edtTo->setText(shown(to_));
  edtCC->setText(shown(cc_));
  edtBCC->setText(shown(bcc_));
  for (QLineEdit* f : {edtFrom, edtTo, edtCC, edtBCC, edtSubject, edtDate}) f->setCursorPosition(0);
  LayoutHeader();
}

void TfrmMailReceive::LoadBody(std::string_view body, bool plain) { LoadEditorBody(KMailEdit1, body, plain); }

void TfrmMailReceive::AttachmentsChanged() {
  pictures_->Forget();
  KMailEdit1->update();
  lsvAttach->Refresh();
  lsvAttach->setVisible(!attachments_.Empty());
  UpdateActions();
}

void TfrmMailReceive::ShowMail(const StoredMailFields& mail, bool showBcc) {
  SetReplyTo(mail.replyTo);
  SetFields(mail.from, mail.to, mail.cc, showBcc ? mail.bcc : std::string(), mail.subject, mail.date);
  LoadBody(mail.body, !mail.markup);
}

void TfrmMailReceive::LoadStoredMail(std::string_view text, bool showBcc) {
  StoredMailFields mail;
  ParseStoredMail(text, mail, &attachments_, imlUserText);
  ShowMail(mail, showBcc);
  AttachmentsChanged();
}

void TfrmMailReceive::LayoutHeader() {
  pnlCC->setVisible(!edtCC->text().isEmpty());
  pnlBCC->setVisible(!edtBCC->text().isEmpty());
  pnlDate->setVisible(!edtDate->text().trimmed().isEmpty());
  int height = 6;
  for (QWidget* p : {pnlFrom, pnlTo, pnlSubject, pnlDate, pnlCC, pnlBCC})
    if (!p->isHidden()) height += p->sizeHint().height();
  pnlHead->setFixedHeight(height);
}

void TfrmMailReceive::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  LoadFormPosition(this, kPlaceOwnerCentre, 0, "MailReceive");
  LayoutHeader();
  UpdateEditorScrollBar(KMailEdit1, ScrollBar1);
  KMailEdit1->setFocus();
}

void TfrmMailReceive::closeEvent(QCloseEvent* event) {
  SaveFormPosition(this, "MailReceive");
  event->accept();
}

QLineEdit* TfrmMailReceive::FocusedAddressField() const {
  for (QLineEdit* f : {edtFrom, edtTo, edtCC, edtBCC})
    if (f->hasFocus()) return f;
  return nullptr;
}

void TfrmMailReceive::SelectEntryAt(QLineEdit* field, int position) {
  const QString text = field->text();
  position = std::clamp(position, 0, static_cast<int>(text.size()));
  int start = position > 0 ? static_cast<int>(text.lastIndexOf(QLatin1Char(','), position - 1)) + 1 : 0;
  int end = static_cast<int>(text.indexOf(QLatin1Char(','), position));
  if (end < 0) end = static_cast<int>(text.size());
  // The comment after "(" is not part of the address.
  int comment = static_cast<int>(text.indexOf(QLatin1Char('('), start));
  if (comment >= 0 && comment < end) end = comment;
  while (start < end && text[start].isSpace()) ++start;
  while (end > start && text[end - 1].isSpace()) --end;
  choosing_ = true;
  if (end > start)
    field->setSelection(start, end - start);
  else
    field->deselect();
  choosing_ = false;
}

std::string TfrmMailReceive::ChosenAddress(bool* web) {
  if (web) *web = false;
  if (KMailEdit1->hasFocus()) {
    if (!KMailEdit1->IsClickableSelection()) return {};
    const std::string run = KMailEdit1->GetSelText();
    if (web) *web = run.starts_with('@') || run.starts_with("http://");
    return run;
  }
  QLineEdit* field = FocusedAddressField();
  if (!field) return {};
  if (!choosing_ && QApplication::mouseButtons() == Qt::NoButton)
    SelectEntryAt(field, field->hasSelectedText() ? field->selectionStart() : field->cursorPosition());
  const std::string chosen = FromQString(field->selectedText());
  if (chosen.empty() || !SingleByteOnly(chosen)) return {};
  return chosen;
}

void TfrmMailReceive::UpdateActions() {
  if (choosing_) return;
  bool web = false;
  const bool addressChosen = !ChosenAddress(&web).empty();
  actTel->setEnabled(addressChosen && !web);
  actTelSend->setEnabled(addressChosen && !web);
  actBookMark->setEnabled(addressChosen && web);
  QLineEdit* field = nullptr;
  for (QLineEdit* f : {edtFrom, edtTo, edtCC, edtBCC, edtSubject, edtDate})
    if (f->hasFocus()) field = f;
  actCopy->setEnabled(KMailEdit1->HasSelection() || (field && !field->text().isEmpty()));
  actAttachSave->setEnabled(!lsvAttach->SelectedRows().empty());
  actAttachView->setEnabled(lsvAttach->hasFocus() && ViewableRow(attachments_, lsvAttach->SelectedRows()) >= 0);
}

bool TfrmMailReceive::eventFilter(QObject* watched, QEvent* event) {
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (field && event->type() == QEvent::MouseButtonPress) {
    lastPress_ = field->cursorPositionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
  } else if (field && event->type() == QEvent::MouseButtonDblClick) {
    SelectEntryAt(field, lastPress_);
    UpdateActions();
    return true;
  } else if (field && event->type() == QEvent::MouseButtonRelease) {
    QMetaObject::invokeMethod(this, &TfrmMailReceive::UpdateActions, Qt::QueuedConnection);
  } else if (watched == KMailEdit1 && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    // The editor takes the release first (its run chosen by the press), then
    // the menu opens at the cursor.
    const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    QMetaObject::invokeMethod(
        this,
        [this, at] {
          UpdateActions();
          popRight->popup(at);
        },
        Qt::QueuedConnection);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMailReceive::CopySelection() {
  if (KMailEdit1->HasSelection()) {
    KMailEdit1->CopyToClipboard();
    return;
  }
  for (QLineEdit* f : {edtFrom, edtTo, edtCC, edtBCC, edtSubject, edtDate})
    if (f->hasFocus() && !f->text().isEmpty()) QApplication::clipboard()->setText(f->text());
}

void TfrmMailReceive::WriteToAddress() {
  bool web = false;
  const std::string address = ChosenAddress(&web);
  if (address.empty() || web) return;
  auto* compose = new TfrmMailSend;
  compose->SetEMail(!IsPhoneNumberText(address));
  compose->SetRecipients(address, {}, {});
  compose->show();
}

TfrmMailSend* TfrmMailReceive::ReplyOrForward(int mode) {
  auto* compose = new TfrmMailSend;
  compose->SetEMail(email_);
  const std::string subject = FromQString(edtSubject->text());
  if (mode == TfrmMailList::kForward) {
    for (const auto& item : attachments_.Items()) CopyAttachment(item, compose->Attachments(), compose->UserTextImages());
    compose->AttachmentsChanged();
    compose->SetSubject(ForwardSubject(subject));
  } else {
    StoredMailFields shown;
    shown.from = from_;
    shown.to = to_;
    shown.cc = cc_;
    shown.replyTo = TrimText(replyTo_);
    ReplyAddresses r = ReplyRecipients(shown, email_, mode == TfrmMailList::kReplyAll, IniRead(keys::MailAddress),
                                       IniReadBool(keys::BCCAddSelf));
    compose->SetRecipients(r.to, r.cc, r.bcc);
    compose->SetSubject(ReplySubject(subject));
  }
  // The quote is the editor's content as markup.
  const std::string quoted = ReplyBody(mode, KMailEdit1->GetMarkupText());
  if (!quoted.empty()) compose->LoadBody(quoted, false);
  compose->show();
  return compose;
}

void TfrmMailReceive::DeleteShownMail() {
  if (!folderName_.empty() && !mailId_.empty()) {
    const bool deleted = folderName_ == Trash() ? DeleteMessage(folderName_, mailId_, retry_)
                                                : MoveMessage(folderName_, mailId_, Trash(), false, retry_);
    // A folder that cannot be written keeps the mail, and its window.
    const MailStoreFault fault = LastMailStoreError().fault;
    if (!deleted && fault != MailStoreFault::None && fault != MailStoreFault::Busy && fault != MailStoreFault::Missing) {
      TellStoreFailure(this, Sjis("メールを削除できませんでした。"));
      return;
    }
    ShowFolderInList(folderName_);
    ShowFolderInList(Trash());
  }
  close();
}


}  // namespace qv
