#pragma once
// The compose window: a direct mail (addressed by phone number) or an e-mail,
// with its attachments, sent (stored in "送信予約", then the list window asks
// the host to send), queued or saved in "下書き".
#include <QMainWindow>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "controls/AppConnections.h"
#include "core/data/MailStore.h"
#include "core/data/MailAttachments.h"
#include "plugins/mail/MailWindows.h"

class QAction;
class QLabel;
class QLineEdit;
class QMimeData;
class QScrollBar;
class QWidget;
class TColorBox;
class TImageList;
class TKMailEdit;

namespace qv {

class TAttachListView;
class EditorPictures;
class TFFColor;

// What BuildAndStore does with the mail.
enum StoreMode : int { kStoreSend = 0, kStoreQueue = 1, kStoreSave = 2 };

// A recipient list in the compose window's form (names kept, no comments):
// mail addresses for an e-mail, phone numbers otherwise.
std::string NormaliseRecipients(std::string_view text, bool email, std::string_view exclude = {});

class TfrmMailSend : public QMainWindow, public TMailWindow {
  Q_OBJECT

 public:
  explicit TfrmMailSend(QWidget* parent = nullptr);
  ~TfrmMailSend() override;

  void SetEMail(bool email);
  bool IsEMail() const { return email_; }
  // The stored mail being edited (empty for a new mail).
  void SetMailId(std::string id) { mailId_ = std::move(id); }
  void SetFolderName(std::string_view folder) override { folderName_ = std::string(folder); }
  std::string MailId() const override { return mailId_; }
  std::string FolderName() const override { return folderName_; }
  QWidget* Window() override { return this; }
  bool IsComposeWindow() const override { return true; }

  bool BuildAndStore(int mode);
  // Attaches a file's bytes; false when it cannot be read.
  bool AddAttachmentFile(const std::filesystem::path& path, std::string_view headers);
  void InsertPictograph(std::string_view caption, int index);

  // Filling the window from a stored or answered mail (CP932).
  void SetRecipients(std::string_view to, std::string_view cc, std::string_view bcc);
  void SetSubject(std::string_view subject);
  // The body goes in as plain text or as markup; the caret to the start.
  void LoadBody(std::string_view body, bool plain);
  AttachmentList& Attachments() { return attachments_; }
  TImageList* UserTextImages() const { return imlUserText; }
  // The attachment list was changed from outside: shown again, modified.
  void AttachmentsChanged();

  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  // Retries of the folder files' exclusive open (tests wait less).
  void SetRetryPolicy(RetryPolicy retry) { retry_ = std::move(retry); }

  // The controls and actions the window is made of.
  QLineEdit* edtTo;
  QLineEdit* edtCC;
  QLineEdit* edtBCC;
  QLineEdit* edtSubject;
  QWidget* pnlCC;
  QLabel* imgEMail;
  QLabel* imgDMail;
  TKMailEdit* KMailEdit1;
  QScrollBar* ScrollBar1;
  TColorBox* ColorBox1;
  QWidget* pnlColor;
  TFFColor* FFColor1;
  TAttachListView* lsvAttach;
  TImageList* imlUserText;

  QAction* actSend;
  QAction* actSendReserve;
  QAction* actSave;
  QAction* actMailAddress;
  QAction* actTextColor;
  QAction* actBGColor;
  QAction* actBlink;
  QAction* actPictext;
  QAction* actUsertext;
  QAction* actAdduserText;
  QAction* actMediaMix;
  QAction* actPicEdit;
  QAction* actAttach;
  QAction* actAttachView;
  QAction* actAttachEdit;
  QAction* actAttachDel;
  QAction* actAttachSave;
  QAction* actDirectMail;
  QAction* actEMail;
  QAction* actUndo;
  QAction* actCut;
  QAction* actCopy;
  QAction* actPaste;
  QAction* actDelete;
  QAction* actSelectAll;
  QAction* actClose;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildLayout();
  void UpdateCaption();
  void UpdateActions();
  void SubjectEdited();
  void SwitchMode(bool email);
  // The recipient picker over the three fields; OK writes them back.
  void PickRecipients();
  void AttachFromDialog();
  void AddUserCharacters();
  void DeleteSelectedAttachments();
  void SaveSelectedAttachments();
  // 画像作成, 編集 on an attachment, and メディアミックス.
  void NewPicture();
  void EditSelectedAttachment();
  void EditMediaMix();
  void AttachFiles(const std::vector<std::filesystem::path>& files);
  void RemovedUserCharacters();
  bool StoreText(const std::string& folder, const std::string& text, std::string& id);
  void ChooseTextColor();
  void ChooseBackground();
  void ShowBackground();
  void ShowPicker(const char* caption, TImageList* images);
  void ViewSelectedAttachment();
  // Inserts the tag of a six-page picture at the caret after a page is picked.
  void PickDroppedPage(const std::string& name);
  // The name of the one picture attachment a drag on the editor carries.
  bool DraggedPicture(const QMimeData* data, std::string& name) const;
  bool IsSixPagePicture(const std::string& name) const;

  bool email_ = true;
  bool modified_ = false;
  bool shown_ = false;
  std::string mailId_;
  std::string folderName_;
  AttachmentList attachments_;
  RetryPolicy retry_;
  std::unique_ptr<EditorPictures> pictures_;
  AppConnections appLinks_;  // last: they end first
};

}  // namespace qv
