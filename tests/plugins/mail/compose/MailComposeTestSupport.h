#pragma once
// Helpers of the mail form and mail window tests: bitmap bytes, attachments,
// a stand-in host that records what the plug-in asks of it, and the list
// window.
#include "image/QkDIB.h"
#include "core/data/MailAttachments.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/list/MailOpen.h"
#include "plugins/mail/MailWindows.h"
#include "plugins/mail/list/QvMailListFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <optional>
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

inline qv::MailAttachment Attachment(std::string name, std::string bytes, std::string headers = {}) {
  qv::MailAttachment a;
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

// Stands in for the launcher: records the host calls of the mail plug-in
// while it lives, and notes whether a compose window was still open at each.
class HostRecorder {
 public:
  HostRecorder() {
    Current() = this;
    qv::SetHostParamCallback(&Param);
    qv::SetHostStrCallback(&Str);
  }
  ~HostRecorder() {
    qv::SetHostParamCallback(nullptr);
    qv::SetHostStrCallback(nullptr);
    Current() = nullptr;
  }
  HostRecorder(const HostRecorder&) = delete;
  HostRecorder& operator=(const HostRecorder&) = delete;

  std::vector<std::pair<int, int>> params;
  std::vector<bool> composeOpenAtParam;
  std::vector<std::pair<int, std::string>> texts;

 private:
  static HostRecorder*& Current() {
    static HostRecorder* current = nullptr;
    return current;
  }
  static QvBool Param(int32_t kind, int32_t value) {
    HostRecorder* r = Current();
    r->params.emplace_back(kind, value);
    bool open = false;
    for (qv::TMailWindow* w : qv::OpenMailWindows())
      if (w->IsComposeWindow() && w->Window()->isVisible()) open = true;
    r->composeOpenAtParam.push_back(open);
    return 1;
  }
  static int32_t Str(int32_t kind, const char* text, int32_t) {
    Current()->texts.emplace_back(kind, std::string(text));
    return 1;
  }
};

// A new compose window, shown and active, that gives up on locked folders at once.
inline qv::TfrmMailSend* ShownComposeWindow(bool email) {
  auto* w = new qv::TfrmMailSend;
  w->SetRetryPolicy(mailtest::Quick());
  if (!email) w->actDirectMail->trigger();
  w->show();
  QApplication::setActiveWindow(w);
  EXPECT_TRUE(QTest::qWaitForWindowActive(w));
  return w;
}

// Deletes every compose window and viewer still open, asking nothing.
inline void DeleteMailWindows() {
  std::vector<QPointer<QWidget>> left;
  for (qv::TMailWindow* w : qv::OpenMailWindows()) left.emplace_back(w->Window());
  for (auto& w : left) delete w.data();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Answers the mail windows' questions and file dialogs while it lives, and
// keeps what they asked. A save keeps the offered name in saveFolder.
class DialogRecorder {
 public:
  DialogRecorder() {
    qv::DialogHandlers handlers;
    handlers.ask = [this](const std::string& text, bool withCancel) {
      asked.push_back(text);
      askedWithCancel = withCancel;
      return answer;
    };
    handlers.info = [this](const std::string& text) { infos.push_back(text); };
    handlers.warn = [this](const std::string& text) { warnings.push_back(text); };
    handlers.open = [this](const std::string& filter) {
      openFilters.push_back(filter);
      return openAnswer;
    };
    handlers.save = [this](const std::filesystem::path& path,
                           const std::string&) -> std::optional<std::filesystem::path> {
      savePresets.push_back(path);
      if (!saveFolder) return std::nullopt;
      return *saveFolder / path.filename();
    };
    qv::SetDialogHandlers(std::move(handlers));
  }
  ~DialogRecorder() { qv::SetDialogHandlers({}); }
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  qv::Answer answer = qv::Answer::Cancel;
  std::vector<std::string> asked;
  bool askedWithCancel = false;
  std::vector<std::string> infos, warnings;
  std::vector<std::string> openFilters;
  std::optional<std::filesystem::path> openAnswer;
  std::vector<std::filesystem::path> savePresets;
  std::optional<std::filesystem::path> saveFolder;
};

// The plug-in's list window, with the opener its exports give it, for the
// life of a test.
class ListWindow {
 public:
  ListWindow() {
    qv::frmMailList = new qv::TfrmMailList;
    qv::TfrmMailList::SetMailOpener(qv::OpenStoredMail);
  }
  ~ListWindow() {
    qv::TfrmMailList::SetMailOpener({});
    delete qv::frmMailList;
    qv::frmMailList = nullptr;
  }
  ListWindow(const ListWindow&) = delete;
  ListWindow& operator=(const ListWindow&) = delete;
  qv::TfrmMailList* operator->() const { return qv::frmMailList; }
};

}  // namespace composetest
