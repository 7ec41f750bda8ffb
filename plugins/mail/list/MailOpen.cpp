#include "plugins/mail/list/MailOpen.h"

#include "core/data/MailStore.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/Cp932.h"
#include "platform/Text.h"
#include "core/data/MailReply.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/compose/QvMailReceiveFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"
#include "core/data/StoredMail.h"


namespace qv {

namespace {

std::string Cell(const TCSVRow& row, int col) {
  return static_cast<size_t>(col) < row.size() ? row[static_cast<size_t>(col)] : std::string();
}

int KindOf(const TCSVRow& row) { return NumberOrZero(Cell(row, kColKind)); }

// The fields of the stored mail: handset histories from their first line and
// row, kinds up to 7 as the stored mail form (attachments into list when one
// is given), other kinds nothing.
StoredMailFields ReadFields(const MailOpenRequest& request, int kind, AttachmentList* list, TImageList* userImages) {
  StoredMailFields fields;
  if (kind == 8 || kind == 9)
    fields = HandsetHistoryFields(request.row, request.text);
  else if (kind <= 7)
    ParseStoredMail(request.text, fields, list, userImages);
  return fields;
}

}  // namespace

TfrmMailSend* NewComposeWindow(bool email) {
  auto* compose = new TfrmMailSend;
  compose->SetEMail(email);
  return compose;
}

void OpenStoredMail(TfrmMailList&, const MailOpenRequest& request) {
  const int kind = KindOf(request.row);
  const bool unread = Cell(request.row, kColUnread) == "1";
  const bool outgoing = Cell(request.row, kColDirection) == "1";
  const bool email = kind == 3;

  if (request.mode != TfrmMailList::kOpen) {
    TfrmMailSend* compose = NewComposeWindow(email);
    const bool forward = request.mode == TfrmMailList::kForward;
    StoredMailFields mail = ReadFields(request, kind, forward ? &compose->Attachments() : nullptr,
                                       forward ? compose->UserTextImages() : nullptr);
    if (forward) {
      compose->AttachmentsChanged();
      compose->SetSubject(ForwardSubject(mail.subject));
    } else {
      ReplyAddresses r = ReplyRecipients(mail, email, request.mode == TfrmMailList::kReplyAll,
                                         IniRead(keys::MailAddress), IniReadBool(keys::BCCAddSelf));
      compose->SetRecipients(r.to, r.cc, r.bcc);
      compose->SetSubject(ReplySubject(mail.subject));
    }
    const std::string body = ReplyBody(request.mode, mail.body);
    if (!body.empty()) compose->LoadBody(body, !mail.markup);
    compose->show();
    return;
  }

  if (unread && outgoing && kind < 7) {
    // Not yet sent: edited again, and stored over this copy.
    TfrmMailSend* compose = NewComposeWindow(email);
    compose->SetMailId(request.id);
    compose->SetFolderName(request.folder);
    StoredMailFields mail = ReadFields(request, kind, &compose->Attachments(), compose->UserTextImages());
    compose->AttachmentsChanged();
    compose->SetRecipients(mail.to, mail.cc, mail.bcc);
    compose->SetSubject(mail.subject);
    compose->LoadBody(mail.body, !mail.markup);
    compose->show();
    return;
  }

  auto* viewer = new TfrmMailReceive;
  viewer->SetMailId(request.id);
  viewer->SetFolderName(request.folder);
  viewer->SetEMail(email);
  std::string caption = cp932::FromUtf8("VeoQuorvel - ") + MailKindCaption(kind);
  caption += outgoing ? (unread ? cp932::FromUtf8("未送信") : cp932::FromUtf8("送信")) : cp932::FromUtf8("受信");
  viewer->setWindowTitle(ToQString(caption));
  StoredMailFields mail = ReadFields(request, kind, &viewer->Attachments(), viewer->UserTextImages());
  viewer->ShowMail(mail, outgoing);
  viewer->AttachmentsChanged();
  viewer->show();
}

}  // namespace qv
