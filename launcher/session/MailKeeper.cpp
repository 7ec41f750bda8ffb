#include "launcher/session/MailKeeper.h"

#include "core/data/HandsetExchange.h"
#include "launcher/session/Session.h"
#include "platform/Cp932.h"

#include <ctime>

namespace qv {

std::string NowText() { return FormatHandsetDate({}, std::time(nullptr)); }

bool MailKeeper::OpenFolder(const std::string& folder, const RetryPolicy& retry) {
  auto& open = open_[folder];
  if (open && open->IsOpen()) return true;
  open = std::make_unique<MailFolder>();
  // Room for a mail is tried too: a full disk only shows when bytes go out.
  if (open->OpenToAppend(folder, retry) && open->HasRoomFor(kRoomForMail)) return true;
  open_.erase(folder);
  return false;
}

bool MailKeeper::Store(const std::string& folder, const std::string& text, const std::vector<std::string>& row,
                       const RetryPolicy& retry) {
  // A folder the session holds takes the mail as it is; any other is opened
  // for this mail alone, so that the mail windows can read it right after.
  const auto held = open_.find(folder);
  std::string id;
  if (held == open_.end() || !held->second->IsOpen()) return AddMessageToFolder(folder, text, row, id, retry);
  // A failed store closes the folder: the next mail opens it afresh.
  return StoreMessage(*held->second, text, row, id);
}

void MailKeeper::Release() { open_.clear(); }

bool MailKeeper::StoreReceived(SessionHost& host, const std::string& folder, const std::string& text,
                               const std::vector<std::string>& row, const RetryPolicy& retry) {
  if (text.empty()) return false;
  if (Store(folder, text, row, retry)) return true;
  kept_.push_back({folder, text, row});
  host.ReportMessage(MailStoreFailureText(Sjis("受信したメールを保存できませんでした。通信の後でもう一度保存します。")),
                     true);
  return false;
}

void MailKeeper::StoreKept(const RetryPolicy& retry) {
  std::erase_if(kept_, [this, &retry](const KeptMail& mail) { return Store(mail.folder, mail.text, mail.row, retry); });
  Release();
}

bool MailKeeper::StoreSent(SessionHost& host, const std::string& text, const std::vector<std::string>& row,
                           const RetryPolicy& retry) {
  if (Store(FixedFolderName(FixedFolder::Sent), text, row, retry)) return true;
  host.ReportMessage(MailStoreFailureText(Sjis(
                         "送信したメールを送信簿に保存できませんでした。メールは送信済みとして送信予約に残っています。")),
                     true);
  return false;
}

}  // namespace qv
