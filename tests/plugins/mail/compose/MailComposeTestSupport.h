#pragma once
// Helpers of the mail form and mail window tests: bitmap bytes, attachments
// and a stand-in host that records what the windows ask of it.
#include "image/QkDIB.h"
#include "plugins/mail/MailAttachments.h"
#include "plugins/mail/MailHost.h"

#include <QImage>
#include <QPainter>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace composetest {

// A DIB file of the given size, a colour gradient so pixels differ.
inline std::string BitmapBytes(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255));
  qv::TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

inline qv::mail::MailAttachment Attachment(std::string name, std::string bytes, std::string headers = {}) {
  qv::mail::MailAttachment a;
  a.name = std::move(name);
  a.bytes = std::move(bytes);
  a.headers = std::move(headers);
  return a;
}

// Every byte value, so that Base64 parts are checked on all of them.
inline std::string AllBytes(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 37 + 11) & 255);
  return s;
}

// Records the host calls of the mail windows while it lives.
class HostRecorder {
 public:
  HostRecorder() {
    auto& host = qv::mail::MailHost();
    host.param = [this](int kind, int value) {
      params.emplace_back(kind, value);
      return true;
    };
    host.text = [this](int kind, const std::string& text) {
      texts.emplace_back(kind, text);
      return 1;
    };
    host.showFolder = [this](const std::string& folder) { shownFolders.push_back(folder); };
    host.requestSendQueue = [this] { ++sendRequests; };
  }
  ~HostRecorder() { qv::mail::MailHost() = {}; }
  std::vector<std::pair<int, int>> params;
  std::vector<std::pair<int, std::string>> texts;
  std::vector<std::string> shownFolders;
  int sendRequests = 0;
};

}  // namespace composetest
