#pragma once
// The mail viewer: one stored mail, read-only, with its header fields, body
// and attachments; from it the user answers, forwards, deletes, saves
// attachments and hands addresses to the phone-book and bookmark plug-ins.
#include <QMainWindow>

#include "controls/AppConnections.h"

#include <memory>
#include <string>
#include <string_view>

#include "core/data/MailStore.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailReply.h"
#include "plugins/mail/MailWindows.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class TImageList;
class TKMailEdit;

namespace qv {

class TAttachListView;
class EditorPictures;
class TfrmMailSend;

class TfrmMailReceive : public QMainWindow, public TMailWindow {
  Q_OBJECT

 public:
  explicit TfrmMailReceive(QWidget* parent = nullptr);
  ~TfrmMailReceive() override;

  void SetEMail(bool email) { email_ = email; }
  bool IsEMail() const { return email_; }
  void SetReplyTo(std::string replyTo) { replyTo_ = std::move(replyTo); }
  void SetMailId(std::string id) { mailId_ = std::move(id); }
  void SetFolderName(std::string_view folder) override { folderName_ = std::string(folder); }
  std::string MailId() const override { return mailId_; }
  std::string FolderName() const override { return folderName_; }
  QWidget* Window() override { return this; }
  bool IsComposeWindow() const override { return false; }

  // The header fields as stored (CP932); shown normalised.
  void SetFields(std::string_view from, std::string_view to, std::string_view cc, std::string_view bcc,
                 std::string_view subject, std::string_view date);
  void LoadBody(std::string_view body, bool plain);
  AttachmentList& Attachments() { return attachments_; }
  TImageList* UserTextImages() const { return imlUserText; }
  void AttachmentsChanged();
  // Shows the fields (BCC only with showBcc), the body and the Reply-to.
  void ShowMail(const StoredMailFields& mail, bool showBcc);
  // Reads a stored mail into the window: ShowMail, and its attachments.
  void LoadStoredMail(std::string_view text, bool showBcc);

  // Answers (1), answers all (2) or forwards (3) in a new compose window.
  TfrmMailSend* ReplyOrForward(int mode);
  // Retries of the folder files' exclusive open (tests wait less).
  void SetRetryPolicy(RetryPolicy retry) { retry_ = std::move(retry); }

  QWidget* pnlHeadBase;
  QWidget* pnlHead;
  QWidget* pnlFrom;
  QWidget* pnlTo;
  QWidget* pnlCC;
  QWidget* pnlBCC;
  QWidget* pnlSubject;
  QWidget* pnlDate;
  QLineEdit* edtFrom;
  QLineEdit* edtTo;
  QLineEdit* edtCC;
  QLineEdit* edtBCC;
  QLineEdit* edtSubject;
  QLineEdit* edtDate;
  TKMailEdit* KMailEdit1;
  QScrollBar* ScrollBar1;
  TAttachListView* lsvAttach;
  TImageList* imlUserText;
  QMenu* popRight;

  QAction* actRes;
  QAction* actResAll;
  QAction* actTransfer;
  QAction* actDel;
  QAction* actCopy;
  QAction* actTel;
  QAction* actTelSend;
  QAction* actBookMark;
  QAction* actAttachView;
  QAction* actAttachSave;
  QAction* actClose;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildLayout();
  void LayoutHeader();
  void UpdateActions();
  // The address chosen for the phone book, a new mail or the bookmarks: the
  // clickable run clicked in the editor (web set for a web address), or the
  // focused address field's entry at the caret, selected; empty when there is
  // none or it is not plain single-byte text.
  std::string ChosenAddress(bool* web = nullptr);
  QLineEdit* FocusedAddressField() const;
  void SelectEntryAt(QLineEdit* field, int position);
  void DeleteShownMail();
  void CopySelection();
  void WriteToAddress();

  bool email_ = false;
  std::string replyTo_;
  std::string mailId_;
  std::string folderName_;
  std::string from_, to_, cc_, bcc_;
  AttachmentList attachments_;
  RetryPolicy retry_;
  bool shown_ = false;
  bool choosing_ = false;
  int lastPress_ = 0;
  std::unique_ptr<EditorPictures> pictures_;
  AppConnections appLinks_;  // last: they end first
};

}  // namespace qv
