#include "plugins/mail/compose/QvMailSendFRM.h"

#include "controls/ImageList.h"
#include "controls/MultiButton.h"
#include "core/data/AddressFunctions.h"
#include "core/ui/FormPosition.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "plugins/mail/picedit/EXPFileDrop.h"
#include "plugins/mail/pickers/FFColor.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/editor/KMailParts.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/ui/Dialogs.h"
#include "core/data/MailForm.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/compose/MailWindowParts.h"
#include "plugins/mail/pickers/QvMailAddressFRM.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/pickers/QvImageViewFRM.h"
#include "plugins/mail/list/QvMailListFRM.h"
#include "plugins/mail/picedit/QvMediaMixEditFRM.h"
#include "plugins/mail/picedit/QvPicEditFRM.h"
#include "core/data/StoredMail.h"
#include "plugins/mail/pickers/QvPicSelectorFRM.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace qv {

namespace {

const std::string& Drafts() { return FixedFolderName(FixedFolder::Drafts); }
const std::string& Queue() { return FixedFolderName(FixedFolder::Queued); }

QLabel* ModeBadge(const QString& text, const QColor& colour, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedSize(72, 40);
  label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; font-weight: bold; border-radius: 6px; }")
                           .arg(colour.name()));
  return label;
}

}  // namespace

std::string NormaliseRecipients(std::string_view text, bool email, std::string_view exclude) {
  return ParseAddressList(text, email, true, false, exclude, false, false);
}

TfrmMailSend::TfrmMailSend(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMailSend"));
  setAttribute(Qt::WA_DeleteOnClose);
  // Files dropped from the desktop anywhere on the window are attached.
  auto* fileDrop = new TEXPFileDrop(this);
  connect(fileDrop, &TEXPFileDrop::OnFileDrop, this,
          [this](int, const std::vector<std::filesystem::path>& files, int, int) { AttachFiles(files); });
  resize(600, 520);
  imlUserText = new TImageList(12, 12, this);
  FFColor1 = new TFFColor(this);
  FFColor1->setObjectName(QStringLiteral("FFColor1"));
  BuildActions();
  BuildLayout();
  SetEMail(true);
  modified_ = false;
  UpdateActions();
}

TfrmMailSend::~TfrmMailSend() = default;

void TfrmMailSend::BuildActions() {
  actSend = NewAction(this, "actSend", "送信", "メールを送信");
  actSendReserve = NewAction(this, "actSendReserve", "送信予約", "メールを送信予約フォルダに保存");
  actSave = NewAction(this, "actSave", "保存", "メールを保存");
  actMailAddress = NewAction(this, "actMailAddress", "電話帳", "電話帳を開く");
  actTextColor = NewAction(this, "actTextColor", "文字色", "文字色を設定");
  actBGColor = NewAction(this, "actBGColor", "背景色", "背景色を設定");
  actBlink = NewAction(this, "actBlink", "点滅", "選択範囲を点滅");
  actPictext = NewAction(this, "actPictext", "絵文字", "絵文字を選択");
  actUsertext = NewAction(this, "actUsertext", "外字", "ユーザ外字を選択");
  actAdduserText = NewAction(this, "actAdduserText", "ユーザ外字設定");
  actMediaMix = NewAction(this, "actMediaMix", "メディアミックス", "メディアミックスを作成");
  actPicEdit = NewAction(this, "actPicEdit", "画像作成", "添付画像を新規作成");
  actAttach = NewAction(this, "actAttach", "添付", "ファイルより添付");
  actAttachView = NewAction(this, "actAttachView", "開く(&O)");
  actAttachEdit = NewAction(this, "actAttachEdit", "編集(&E)");
  actAttachDel = NewAction(this, "actAttachDel", "削除");
  actAttachSave = NewAction(this, "actAttachSave", "ファイルへ保存(&S)");
  actDirectMail = NewAction(this, "actDirectMail", "直送メール");
  actEMail = NewAction(this, "actEMail", "Eメール");
  actUndo = NewAction(this, "actUndo", "元に戻す(&U)");
  actCut = NewAction(this, "actCut", "切り取り(&T)");
  actCopy = NewAction(this, "actCopy", "コピー(&C)");
  actPaste = NewAction(this, "actPaste", "貼り付け(&P)");
  actDelete = NewAction(this, "actDelete", "削除(&D)");
  actSelectAll = NewAction(this, "actSelectAll", "全て選択(&A)");
  actClose = NewAction(this, "actClose", "閉じる");
  actUndo->setShortcut(QKeySequence::Undo);
  actCut->setShortcut(QKeySequence::Cut);
  actCopy->setShortcut(QKeySequence::Copy);
  actPaste->setShortcut(QKeySequence::Paste);
  actSelectAll->setShortcut(QKeySequence::SelectAll);
  for (QAction* a : {actUndo, actCut, actCopy, actPaste, actSelectAll}) a->setShortcutContext(Qt::WidgetWithChildrenShortcut);

  connect(actSend, &QAction::triggered, this, [this] {
    if (!BuildAndStore(kStoreSend)) return;
    RequestSendFromList();
    modified_ = false;
    close();
  });
  connect(actSendReserve, &QAction::triggered, this, [this] {
    if (!BuildAndStore(kStoreQueue)) return;
    modified_ = false;
    close();
  });
  connect(actSave, &QAction::triggered, this, [this] {
    if (BuildAndStore(kStoreSave)) modified_ = false;
  });
  connect(actAttach, &QAction::triggered, this, &TfrmMailSend::AttachFromDialog);
  connect(actAdduserText, &QAction::triggered, this, &TfrmMailSend::AddUserCharacters);
  connect(actAttachDel, &QAction::triggered, this, &TfrmMailSend::DeleteSelectedAttachments);
  connect(actAttachSave, &QAction::triggered, this, &TfrmMailSend::SaveSelectedAttachments);
  connect(actDirectMail, &QAction::triggered, this, [this] { SwitchMode(false); });
  connect(actEMail, &QAction::triggered, this, [this] { SwitchMode(true); });
  connect(actUndo, &QAction::triggered, this, [this] { KMailEdit1->Undo(); });
  connect(actCut, &QAction::triggered, this, [this] { KMailEdit1->CutToClipboard(); });
  connect(actCopy, &QAction::triggered, this, [this] { KMailEdit1->CopyToClipboard(); });
  connect(actPaste, &QAction::triggered, this, [this] { KMailEdit1->PasteFromClipboard(); });
  connect(actDelete, &QAction::triggered, this, [this] { KMailEdit1->DeleteSelection(); });
  connect(actSelectAll, &QAction::triggered, this, [this] { KMailEdit1->SelectAll(); });
  connect(actBlink, &QAction::triggered, this, [this] { KMailEdit1->SetSelBlink(!KMailEdit1->SelIsBlink()); });
  connect(actClose, &QAction::triggered, this, &QWidget::close);
  connect(actPicEdit, &QAction::triggered, this, &TfrmMailSend::NewPicture);
  connect(actAttachEdit, &QAction::triggered, this, &TfrmMailSend::EditSelectedAttachment);
  connect(actMediaMix, &QAction::triggered, this, &TfrmMailSend::EditMediaMix);
  connect(actTextColor, &QAction::triggered, this, &TfrmMailSend::ChooseTextColor);
  connect(actBGColor, &QAction::triggered, this, &TfrmMailSend::ChooseBackground);
  connect(actPictext, &QAction::triggered, this,
          [this] { ShowPicker("絵文字選択", frmMailList ? frmMailList->imlPicText : nullptr); });
  connect(actUsertext, &QAction::triggered, this, [this] { ShowPicker("ユーザ外字選択", imlUserText); });
  connect(actAttachView, &QAction::triggered, this, &TfrmMailSend::ViewSelectedAttachment);
  connect(imlUserText, &TImageList::Changed, this, &TfrmMailSend::UpdateActions);
  // Pictograms come from the list window's table.
  actPictext->setEnabled(frmMailList != nullptr);
  connect(actMailAddress, &QAction::triggered, this, &TfrmMailSend::PickRecipients);
}

void TfrmMailSend::BuildLayout() {
  auto* file = menuBar()->addMenu(Q("ファイル(&F)"));
  file->addActions({actSend, actSendReserve, actSave});
  file->addSeparator();
  file->addAction(actClose);
  auto* edit = menuBar()->addMenu(Q("編集(&E)"));
  edit->addAction(actUndo);
  edit->addSeparator();
  edit->addActions({actCut, actCopy, actPaste, actDelete});
  edit->addSeparator();
  edit->addAction(actSelectAll);
  auto* mail = menuBar()->addMenu(Q("メール(&M)"));
  auto* mnuEMail = mail->addAction(Q("Eメールに切替(&E)"));
  auto* mnuDirect = mail->addAction(Q("直送メールに切替(&D)"));
  mnuEMail->setObjectName(QStringLiteral("mnuEMail"));
  mnuDirect->setObjectName(QStringLiteral("mnuDirectMail"));
  mnuEMail->setCheckable(true);
  mnuDirect->setCheckable(true);
  connect(mnuEMail, &QAction::triggered, actEMail, &QAction::trigger);
  connect(mnuDirect, &QAction::triggered, actDirectMail, &QAction::trigger);
  mail->addSeparator();
  mail->addAction(actMailAddress);
  auto* deco = menuBar()->addMenu(Q("装飾(&D)"));
  deco->addActions({actTextColor, actBGColor, actBlink});
  deco->addSeparator();
  deco->addActions({actPictext, actUsertext, actAdduserText});
  auto* attach = menuBar()->addMenu(Q("添付(&A)"));
  attach->addActions({actAttach, actPicEdit, actMediaMix});
  attach->addSeparator();
  attach->addActions({actAttachView, actAttachEdit, actAttachDel, actAttachSave});

  // Two rows: in one, the buttons are wider than the window and the last of
  // them hide behind the toolbar's extension button.
  QToolBar* bar = NewToolBar(this);
  bar->addActions({actSend, actSendReserve, actSave});
  bar->addSeparator();
  bar->addActions({actEMail, actDirectMail, actMailAddress});
  addToolBarBreak();
  QToolBar* decoration = NewToolBar(this);
  decoration->setObjectName(QStringLiteral("ToolBar2"));
  decoration->addActions({actAttach, actPicEdit, actMediaMix});
  decoration->addSeparator();
  decoration->addActions({actPictext, actUsertext, actTextColor, actBGColor, actBlink});

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(6, 6, 6, 6);

  auto* head = new QHBoxLayout;
  auto* badges = new QVBoxLayout;
  imgEMail = ModeBadge(Q("Eメール"), QColor(40, 110, 200), central);
  imgEMail->setObjectName(QStringLiteral("imgEMail"));
  imgDMail = ModeBadge(Q("直送\nメール"), QColor(210, 110, 20), central);
  imgDMail->setObjectName(QStringLiteral("imgDMail"));
  badges->addWidget(imgEMail);
  badges->addWidget(imgDMail);
  badges->addStretch();
  head->addLayout(badges);

  auto* fields = new QVBoxLayout;
  auto* toForm = new QFormLayout;
  edtTo = new QLineEdit(central);
  edtTo->setObjectName(QStringLiteral("edtTo"));
  toForm->addRow(Q("宛先:"), edtTo);
  fields->addLayout(toForm);
  pnlCC = new QWidget(central);
  pnlCC->setObjectName(QStringLiteral("pnlCC"));
  auto* ccForm = new QFormLayout(pnlCC);
  ccForm->setContentsMargins(0, 0, 0, 0);
  edtCC = new QLineEdit(pnlCC);
  edtCC->setObjectName(QStringLiteral("edtCC"));
  edtBCC = new QLineEdit(pnlCC);
  edtBCC->setObjectName(QStringLiteral("edtBCC"));
  ccForm->addRow(QStringLiteral("CC:"), edtCC);
  ccForm->addRow(QStringLiteral("BCC:"), edtBCC);
  fields->addWidget(pnlCC);
  auto* subjectForm = new QFormLayout;
  edtSubject = new QLineEdit(central);
  edtSubject->setObjectName(QStringLiteral("edtSubject"));
  subjectForm->addRow(Q("件名:"), edtSubject);
  fields->addLayout(subjectForm);
  // The labels line up across the three forms.
  for (QFormLayout* f : {toForm, ccForm, subjectForm}) f->setLabelAlignment(Qt::AlignRight);
  head->addLayout(fields, 1);
  outer->addLayout(head);

  auto* deco2 = new QHBoxLayout;
  ColorBox1 = new TColorBox(central);
  ColorBox1->setObjectName(QStringLiteral("ColorBox1"));
  ColorBox1->setFixedHeight(18);
  pnlColor = new QWidget(central);
  pnlColor->setObjectName(QStringLiteral("pnlColor"));
  pnlColor->setFixedSize(18, 18);
  pnlColor->setAutoFillBackground(true);
  QPalette swatch = pnlColor->palette();
  swatch.setColor(QPalette::Window, Qt::white);
  pnlColor->setPalette(swatch);
  pnlColor->setEnabled(false);
  deco2->addWidget(ColorBox1, 1);
  deco2->addWidget(pnlColor);
  outer->addLayout(deco2);

  auto* split = new QSplitter(Qt::Vertical, central);
  QWidget* editorPane = NewEditorPane(split, KMailEdit1, ScrollBar1);
  KMailEdit1->SetUserTextImages(imlUserText);
  KMailEdit1->setAcceptDrops(true);
  KMailEdit1->installEventFilter(this);
  pictures_ = std::make_unique<EditorPictures>(KMailEdit1, attachments_);
  lsvAttach = new TAttachListView(attachments_, split);
  lsvAttach->userImages = imlUserText;
  lsvAttach->SetAcceptsAttachments(true);
  split->addWidget(editorPane);
  split->addWidget(lsvAttach);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);
  outer->addWidget(split, 1);
  setCentralWidget(central);

  auto changed = [this] {
    modified_ = true;
    UpdateActions();
  };
  connect(edtTo, &QLineEdit::textChanged, this, changed);
  connect(edtCC, &QLineEdit::textChanged, this, changed);
  connect(edtBCC, &QLineEdit::textChanged, this, changed);
  connect(edtSubject, &QLineEdit::textChanged, this, [this] {
    SubjectEdited();
    modified_ = true;
  });
  connect(KMailEdit1, &TKMailEdit::OnChange, this, changed);
  connect(KMailEdit1, &TKMailEdit::OnSelectionChange, this, &TfrmMailSend::UpdateActions);
  // A swatch colours the selection and what is typed next.
  connect(ColorBox1, &TColorBox::OnColorClick, this, [this](TColor colour) { KMailEdit1->SetSelColor(colour); });
  connect(lsvAttach, &QListWidget::itemSelectionChanged, this, &TfrmMailSend::UpdateActions);
  connect(lsvAttach, &TAttachListView::AttachmentsDropped, this, [this] {
    modified_ = true;
    UpdateActions();
  });
  connect(lsvAttach, &TAttachListView::FilesDropped, this, &TfrmMailSend::AttachFiles);
  connect(lsvAttach, &TAttachListView::DeleteRequested, this, &TfrmMailSend::DeleteSelectedAttachments);
  connect(lsvAttach, &TAttachListView::OpenRequested, this, &TfrmMailSend::ViewSelectedAttachment);
  connect(lsvAttach, &TAttachListView::HeaderRequested, this,
          [this] { ShowSelectedAttachmentHeader(this, attachments_, *lsvAttach); });
  appLinks_.Connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
  appLinks_.Connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateActions(); });
}

void TfrmMailSend::UpdateCaption() {
  setWindowTitle(Q("VeoQuorvel - ") + (email_ ? Q("Eメール") : Q("直送メール")) + Q("未") + Q("送信"));
}

void TfrmMailSend::UpdateActions() {
  const bool editorFocused = KMailEdit1 && KMailEdit1->hasFocus();
  const bool selection = editorFocused && KMailEdit1->HasSelection();
  actUndo->setEnabled(editorFocused && KMailEdit1->CanUndo());
  actCut->setEnabled(selection);
  actCopy->setEnabled(selection);
  actDelete->setEnabled(selection);
  actPaste->setEnabled(editorFocused && KMailEdit1->CanPaste());
  actSelectAll->setEnabled(editorFocused);
  const std::vector<int> rows = lsvAttach->SelectedRows();
  actAttachDel->setEnabled(!rows.empty());
  actAttachSave->setEnabled(!rows.empty());
  const int kind = rows.size() == 1 ? MediaFileKind(attachments_[size_t(rows[0])].name) : -1;
  actAttachEdit->setEnabled(kind == kMediaBitmap || kind == kMediaMixCtrl);
  actAttachView->setEnabled(ViewableRow(attachments_, rows) >= 0);
  actUsertext->setEnabled(imlUserText->Count() > 0);
}

void TfrmMailSend::SetEMail(bool email) {
  email_ = email;
  pnlCC->setVisible(email);
  imgEMail->setVisible(email);
  imgDMail->setVisible(!email);
  if (!email) {
    edtCC->clear();
    edtBCC->clear();
  }
  if (auto* m = findChild<QAction*>(QStringLiteral("mnuEMail"))) m->setChecked(email);
  if (auto* m = findChild<QAction*>(QStringLiteral("mnuDirectMail"))) m->setChecked(!email);
  UpdateCaption();
}

void TfrmMailSend::SwitchMode(bool email) {
  if (email == email_) {
    SetEMail(email_);  // the menu's check marks stay as they were
    return;
  }
  edtTo->clear();
  edtCC->clear();
  edtBCC->clear();
  SetEMail(email);
}

void TfrmMailSend::SetRecipients(std::string_view to, std::string_view cc, std::string_view bcc) {
  edtTo->setText(ToQString(to));
  edtCC->setText(ToQString(cc));
  edtBCC->setText(ToQString(bcc));
}

void TfrmMailSend::PickRecipients() {
  TfrmMailAddress picker(this);
  picker.SetMailMode(email_);
  picker.SetToText(FromQString(edtTo->text()));
  picker.SetCCText(FromQString(edtCC->text()));
  picker.SetBCCText(FromQString(edtBCC->text()));
  if (picker.exec() != 1) return;
  // setText marks the mail changed only where a text differs.
  auto take = [](QLineEdit* field, const std::string& text) {
    const QString now = ToQString(text);
    if (field->text() != now) field->setText(now);
  };
  take(edtTo, picker.GetToText());
  take(edtCC, picker.GetCCText());
  take(edtBCC, picker.GetBCCText());
}

void TfrmMailSend::SetSubject(std::string_view subject) { edtSubject->setText(ToQString(subject)); }

void TfrmMailSend::LoadBody(std::string_view body, bool plain) {
  LoadEditorBody(KMailEdit1, body, plain);
  ShowBackground();
}

void TfrmMailSend::ShowBackground() {
  QPalette swatch = pnlColor->palette();
  swatch.setColor(QPalette::Window, ToQColor(KMailEdit1->GetColor()));
  pnlColor->setPalette(swatch);
}

void TfrmMailSend::ChooseTextColor() {
  FFColor1->SetColor(KMailEdit1->FontColor());
  FFColor1->SetCaption(Q("文字色選択"));
  if (!FFColor1->Execute()) return;
  const TColor colour = FFColor1->GetColor();
  bool listed = false;
  for (int i = 0; i < ColorBox1->GetColorCodeList().size() && !listed; ++i) listed = ColorBox1->SwatchColor(i) == colour;
  if (!listed) {
    QStringList codes = ColorBox1->GetColorCodeList();
    codes.append(QStringLiteral("$%1").arg(colour, 6, 16, QLatin1Char('0')).toUpper());
    ColorBox1->SetColorCodeList(codes);
  }
  KMailEdit1->SetSelColor(colour);
}

void TfrmMailSend::ChooseBackground() {
  FFColor1->SetColor(KMailEdit1->GetColor());
  FFColor1->SetCaption(Q("背景色選択"));
  if (!FFColor1->Execute()) return;
  KMailEdit1->SetColor(FFColor1->GetColor());
  ShowBackground();
  modified_ = true;
}

void TfrmMailSend::ShowPicker(const char* caption, TImageList* images) {
  auto* picker = new TfrmPicSelector(this);
  picker->SetPicker(Q(caption), images);
  picker->show();
}

void TfrmMailSend::ViewSelectedAttachment() {
  const int row = ViewableRow(attachments_, lsvAttach->SelectedRows());
  if (row >= 0) ShowAttachmentViewer(this, attachments_, row);
}

void TfrmMailSend::PickDroppedPage(const std::string& name) {
  const int index = attachments_.Find(name);
  if (index < 0) return;
  const int page = PickPicturePage(this, attachments_, index);
  if (page > 0) KMailEdit1->InsertMarkup("<IMG=\"" + name + "\";" + std::to_string(page) + ">");
}

void TfrmMailSend::AttachmentsChanged() {
  pictures_->Forget();
  KMailEdit1->update();
  lsvAttach->Refresh();
  modified_ = true;
  UpdateActions();
}

void TfrmMailSend::SubjectEdited() {
  const QString shown = edtSubject->text();
  const std::string text = FromQString(shown);
  const std::string cleaned = RemoveHandsetPictographs(text);
  if (cleaned == text) return;
  const int fromEnd = static_cast<int>(shown.size()) - edtSubject->cursorPosition();
  const QString now = ToQString(cleaned);
  QSignalBlocker block(edtSubject);
  edtSubject->setText(now);
  edtSubject->setCursorPosition(std::max(0, static_cast<int>(now.size()) - fromEnd));
}

void TfrmMailSend::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  LoadFormPosition(this, kPlaceOwnerCentre, 0, "MailSend");
  QSignalBlocker b1(edtTo), b2(edtCC), b3(edtBCC);
  edtTo->setText(ToQString(NormaliseRecipients(FromQString(edtTo->text()), email_)));
  edtCC->setText(ToQString(NormaliseRecipients(FromQString(edtCC->text()), true)));
  edtBCC->setText(ToQString(NormaliseRecipients(FromQString(edtBCC->text()), true)));
  if (!edtTo->text().isEmpty())
    KMailEdit1->setFocus();
  else
    edtTo->setFocus();
  UpdateEditorScrollBar(KMailEdit1, ScrollBar1);
  modified_ = false;
}

void TfrmMailSend::closeEvent(QCloseEvent* event) {
  if (modified_) {
    Answer answer = AskWarning(this, Sjis("メールの内容は変更されています\r\n変更を保存しますか？"), true);
    if (answer == Answer::Cancel || (answer == Answer::Yes && !BuildAndStore(kStoreSave))) {
      event->ignore();
      return;
    }
  }
  SaveFormPosition(this, "MailSend");
  event->accept();
}

bool TfrmMailSend::StoreText(const std::string& folder, const std::string& text, std::string& id) {
  std::string stored = text;
  MailIndexRow row;
  const std::string date = FromQString(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm")));
  PrepareReceivedMail(row, stored, email_ ? 3 : 1, 0, 1, 0, 1, 1, date, "");
  return AddMessageToFolder(folder, stored, row, id, retry_);
}

bool TfrmMailSend::BuildAndStore(int mode) {
  const std::string subject = RemoveHandsetPictographs(HalfKanaToFullWidth(FromQString(edtSubject->text())));
  if (FromQString(edtSubject->text()) != subject) edtSubject->setText(ToQString(subject));

  const std::string toField = FromQString(edtTo->text());
  const std::string to = NormaliseRecipients(toField, email_);
  if (to.empty() && mode != kStoreSave) {
    CallHostParam(QV_PARAM_WARNING, TrimText(toField).empty() ? kWarnToEmpty : kWarnToInvalid);
    edtTo->setFocus();
    return false;
  }

  OutgoingMail mail;
  mail.email = email_;
  mail.to = to;
  if (email_) {
    mail.cc = NormaliseRecipients(FromQString(edtCC->text()), true);
    mail.bcc = NormaliseRecipients(FromQString(edtBCC->text()), true);
    mail.replyTo = IniRead(keys::ReplyTo);
  }
  mail.subject = subject;
  mail.plainBody = KMailEdit1->IsPlainContent();
  const std::string edited = mail.plainBody ? KMailEdit1->GetPlainText() : KMailEdit1->GetMarkupText();
  mail.body = HalfKanaToFullWidth(edited);
  // The editor shows what is stored.
  if (mail.body != edited) LoadBody(mail.body, mail.plainBody);
  mail.attachments = &attachments_;

  std::string text;
  if (int code = EncodeStoredMail(mail, text); code != 0) {
    CallHostParam(QV_PARAM_WARNING, code);
    return false;
  }

  // The old copy of a reopened mail goes only once the new one is stored, so
  // that a failed store loses nothing.
  const std::string oldFolder = folderName_, oldId = mailId_;
  std::string target, id;
  bool stored = false, complete = true;
  if (mode == kStoreSave) {
    target = folderName_.empty() ? Drafts() : folderName_;
    stored = complete = StoreText(target, text, id);
    if (stored) {
      folderName_ = target;
      mailId_ = id;
    }
  } else if (email_) {
    target = Queue();
    stored = complete = StoreText(target, text, id);
  } else {
    target = Queue();
    const int entries = CountDelims(to, ",") + 1;
    for (int e = 0; e < entries; ++e) {
      const std::string entry = GetField(to, ",", e);
      if (StripServicePrefix(entry).empty()) continue;
      if (!StoreText(target, WithRecipient(text, entry), id)) {
        // The field keeps the recipients not yet stored.
        std::string rest;
        for (int r = e; r < entries; ++r) rest += (rest.empty() ? "" : ",") + GetField(to, ",", r);
        edtTo->setText(ToQString(NormaliseRecipients(rest, false)));
        complete = false;
        break;
      }
      stored = true;
    }
  }
  if (stored && !oldId.empty()) {
    DeleteMessage(oldFolder, oldId, retry_);
    if (mode != kStoreSave) mailId_.clear();
  }
  if (!oldFolder.empty()) ShowFolderInList(oldFolder);
  if (!complete) return false;
  if (target != oldFolder) ShowFolderInList(target);
  modified_ = false;
  return true;
}

bool TfrmMailSend::AddAttachmentFile(const std::filesystem::path& path, std::string_view headers) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  AddAttachmentBytes(cp932::FromUtf8(path.filename().string()), std::move(bytes), headers, attachments_, imlUserText);
  AttachmentsChanged();
  return true;
}

void TfrmMailSend::AttachFiles(const std::vector<std::filesystem::path>& files) {
  for (const auto& file : files)
    if (!AddAttachmentFile(file, {}))
      ShowInformation(this, cp932::FromUtf8(file.string()) + Sjis("\r\nを読み込めませんでした"));
}

void TfrmMailSend::AttachFromDialog() {
  if (auto path = AskOpenFile(this, Sjis("全てのファイル (*.*)|*.*"))) AttachFiles({*path});
}

void TfrmMailSend::AddUserCharacters() {
  auto path = AskOpenFile(this, Sjis("画像ファイル (*.bmp)|*.bmp|ユーザ外字ファイル (optchar.dat)|optchar.dat"));
  if (!path) return;
  if (IsUserCharacterName(cp932::FromUtf8(path->filename().string()))) {
    AttachFiles({*path});
    return;
  }
  std::string bytes;
  if (!MakeUserCharacterBitmap(*path, bytes)) {
    ShowInformation(this, cp932::FromUtf8(path->string()) + Sjis("\r\nを読み込めませんでした"));
    return;
  }
  AddAttachmentBytes("OptChar.dat", std::move(bytes), {}, attachments_, imlUserText);
  AttachmentsChanged();
}

void TfrmMailSend::DeleteSelectedAttachments() {
  std::vector<int> rows = lsvAttach->SelectedRows();
  if (rows.empty()) return;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (IsUserCharacterName(attachments_[static_cast<size_t>(*it)].name)) imlUserText->Clear();
    attachments_.Remove(static_cast<size_t>(*it));
  }
  AttachmentsChanged();
  // Tags of pictures that are gone are dropped.
  KMailEdit1->Reload();
}

void TfrmMailSend::NewPicture() {
  QImage white(96, 72, QImage::Format_RGB32);
  white.fill(Qt::white);
  std::string bytes, headers;
  if (!EditPicture(this, white, {}, bytes, headers)) return;
  AddAttachmentBytes("notitle.bmp", std::move(bytes), headers, attachments_, imlUserText);
  AttachmentsChanged();
}

void TfrmMailSend::EditSelectedAttachment() {
  const std::vector<int> rows = lsvAttach->SelectedRows();
  if (rows.size() != 1) return;
  const size_t row = size_t(rows[0]);
  const int kind = MediaFileKind(attachments_[row].name);
  if (kind == kMediaMixCtrl) return EditMediaMix();
  if (kind != kMediaBitmap) return;
  QImage picture;
  if (!LoadAttachmentBitmap(attachments_[row].bytes, picture)) DrawBrokenImage(picture);
  std::string bytes, headers;
  if (!EditPicture(this, picture, attachments_[row].headers, bytes, headers)) return;
  MailAttachment& item = attachments_[row];
  item.bytes = std::move(bytes);
  NormalisePictureHeaders(item, headers, MailPictures(imlUserText));
  item.icon = AttachIconIndex(item.name, item.headers, item.broken);
  AttachmentsChanged();
  // Picture tags show the picture as it is now.
  KMailEdit1->Reload();
}

void TfrmMailSend::EditMediaMix() {
  const int index = attachments_.Find("mmctrl.dat");
  TfrmMediaMixEdit form(this);
  if (index >= 0) form.SetControlText(attachments_[size_t(index)].bytes);
  if (form.exec() != QDialog::Accepted) return;
  if (index >= 0) {
    attachments_[size_t(index)].bytes = form.GetControlText();
  } else {
    // Before the pictures, which the viewer numbers from the control on.
    const int at = MediaMixControlPosition(attachments_);
    const int added = AddAttachmentBytes("mmctrl.dat", form.GetControlText(), {}, attachments_, imlUserText);
    attachments_.Move(size_t(added), size_t(at));
  }
  AttachmentsChanged();
}

void TfrmMailSend::SaveSelectedAttachments() { SaveAttachments(this, attachments_, lsvAttach->SelectedRows()); }


void TfrmMailSend::InsertPictograph(std::string_view caption, int index) {
  const std::vector<std::string> picText = ListPicTextLines();
  if (caption == Sjis("絵文字選択") && index >= 0 && static_cast<size_t>(index) < picText.size()) {
    // A bare name (the built-in list, without a table file) names nothing.
    KMailEdit1->InsertMarkup("<#" + std::string(kmail::PicTextName(picText[static_cast<size_t>(index)])) + ">");
  } else if (caption == Sjis("ユーザ外字選択") && index >= 0 && index < imlUserText->Count()) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "<?%02d>", index);
    KMailEdit1->InsertMarkup(tag);
  }
}


bool TfrmMailSend::IsSixPagePicture(const std::string& name) const {
  const int index = attachments_.Find(name);
  if (index < 0) return false;
  const MailAttachment& item = attachments_[static_cast<size_t>(index)];
  int width = 0, height = 0;
  return PictureSize(item.bytes, width, height) && ParseDXHeaders(width, height, item.headers).IsDiv6;
}

bool TfrmMailSend::DraggedPicture(const QMimeData* data, std::string& name) const {
  const auto* dragged = qobject_cast<const AttachmentMimeData*>(data);
  if (!dragged || dragged->source != lsvAttach || dragged->items.size() != 1) return false;
  name = dragged->items.front().name;
  return MediaFileKind(name) == kMediaBitmap;
}

bool TfrmMailSend::eventFilter(QObject* watched, QEvent* event) {
  if (watched != KMailEdit1) return QMainWindow::eventFilter(watched, event);
  std::string name;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      // A picture attachment dragged over the text puts the caret under the mouse.
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!DraggedPicture(drag->mimeData(), name)) return false;
      KMailEdit1->CaretToMouse(drag->position().toPoint());
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!DraggedPicture(drop->mimeData(), name)) return false;
      KMailEdit1->CaretToMouse(drop->position().toPoint());
      drop->acceptProposedAction();
      KMailEdit1->setFocus();
      if (IsSixPagePicture(name)) {
        // The page is picked in a window of its own once the drop is over.
        QTimer::singleShot(0, this, [this, name] { PickDroppedPage(name); });
        return true;
      }
      KMailEdit1->InsertMarkup("<IMG=\"" + name + "\">");
      return true;
    }
    default:
      return QMainWindow::eventFilter(watched, event);
  }
}


}  // namespace qv
