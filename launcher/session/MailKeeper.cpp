#include "launcher/session/MailKeeper.h"

#include "core/data/HandsetExchange.h"
#include "launcher/session/Session.h"
#include "platform/Cp932.h"

#include <ctime>

namespace qv {

std::string NowText() { return FormatHandsetDate({}, std::time(nullptr)); }

bool MailKeeper::StoreReceived(SessionHost& host, const std::string& folder, const std::string& text,
                               const std::vector<std::string>& row, const RetryPolicy& retry) {
  if (text.empty()) return false;
  std::string id;
  if (AddMessageToFolder(folder, text, row, id, retry)) return true;
  kept_.push_back({folder, text, row});
  host.ReportMessage(Sjis("受信したメールを保存できませんでした。通信の後でもう一度保存します。"), true);
  return false;
}

void MailKeeper::StoreKept(const RetryPolicy& retry) {
  std::erase_if(kept_, [&retry](const KeptMail& mail) {
    std::string id;
    return AddMessageToFolder(mail.folder, mail.text, mail.row, id, retry);
  });
}

bool MailKeeper::StoreSent(SessionHost& host, const std::string& text, const std::vector<std::string>& row,
                           const RetryPolicy& retry) {
  std::string id;
  if (AddMessageToFolder(FixedFolderName(FixedFolder::Sent), text, row, id, retry)) return true;
  host.ReportMessage(
      Sjis("送信したメールを送信簿に保存できませんでした。メールは送信済みとして送信予約に残っています。"), true);
  return false;
}

}  // namespace qv
