#include "launcher/session/DirectMailReception.h"

#include "core/data/TextFunctions.h"
#include "launcher/session/MailKeeper.h"

namespace qv {

SessionResult DirectMailReception::Run() {
  c_.events.Clear();
  c_.view.SetProgressMax(1);
  c_.host.SetPeerNumber(caller_);
  c_.host.CloseNotice();
  if (!c_.link.ReadySMail()) return SessionResult::NothingDone;
  c_.host.StartBannerAnimation();
  const PollEnd end = Poll(c_, [this](const SerialEvent& e) {
    switch (e.kind) {
      case kwx::KWX_EV_READY:
        if (e.code == kwx::kReadyBufferFull) {
          TakePiece();
        } else if (e.code == kwx::kReadyData) {
          TakePiece();
          c_.view.SetProgress(1, false);
          Store();
        } else if (e.code == kwx::kReadyDirectMailDone) {
          return true;
        }
        break;
      case kwx::KWX_EV_NO_RESPONSE:
        if (e.code == kwx::kNoProgress && ContinueOrDisconnect(c_) != ContinueAnswer::Continue) {
          result_ = SessionResult::Aborted;
          return true;
        }
        break;
      case kwx::KWX_EV_SESSION_END:
        // The ring-wait session itself ended: no end of reception will come.
        if (e.code == kwx::WorkerEnded(kwx::kKindRingWait)) return true;
        break;
      case kwx::KWX_EV_SESSION_ERROR:
      case kwx::KWX_EV_MODULE_ERROR:
        result_ = SessionResult::Aborted;
        break;
      default:
        break;
    }
    return false;
  });
  if (end == PollEnd::Aborted) result_ = SessionResult::Aborted;
  c_.host.StopBannerAnimation();
  return result_;
}

void DirectMailReception::TakePiece() {
  const std::string piece = c_.link.GetBuffer();
  buffer_ += piece;
  size_ += static_cast<long long>(piece.size());
  c_.view.SetSize(size_);
}

void DirectMailReception::Store() {
  // A mail from another PC carries its own header lines; one from a handset
  // is only text, which the blank line after From keeps the body.
  std::string text = "From: " + caller_ + "\r\n" + (StartsWithHeader(buffer_) ? "" : "\r\n") + buffer_;
  MailIndexRow row;
  PrepareReceivedMail(row, text, 1, 0, 1, 0, 0, 0, NowText(), "");
  if (c_.keeper.StoreReceived(c_.host, FixedFolderName(FixedFolder::Received), text, row, c_.FolderRetry()))
    result_ = SessionResult::Done;
}

}  // namespace qv
