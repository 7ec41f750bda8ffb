#pragma once
// What the compose window and the viewer need of the plug-in around them: the
// host's two callbacks, the list window's folder reload and send request, and
// the pictograph table. The plug-in's exports and its list window fill these
// in; every use is skipped while its link is unset.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TImageList;

namespace qv::mail {

struct MailHostLinks {
  // The host's parameter callback (kind, value).
  std::function<bool(int kind, int value)> param;
  // The host's text callback (kind, text); text is CP932.
  std::function<int(int kind, const std::string& text)> text;
  // The list window reloads this folder when it is the one it shows.
  std::function<void(const std::string& folder)> showFolder;
  // The list window's one-shot send timer: asks the host to send the queue
  // once the compose window has closed.
  std::function<void()> requestSendQueue;
  // The pictograph table (NAME=value lines) and its images.
  std::vector<std::string> picTextLines;
  TImageList* picTextImages = nullptr;
  // The clip icons the attachment views draw by icon index.
  TImageList* clipIcons = nullptr;
};

MailHostLinks& MailHost();

// The links, each doing nothing (true, 0) while unset.
bool HostParam(int kind, int value);
int HostText(int kind, std::string_view text);
void HostShowFolder(std::string_view folder);
void HostRequestSendQueue();

}  // namespace qv::mail
