// A plug-in built for the launcher's tests. It records every call it gets in
// calls.log in the launcher's folder, vetoes CloseForm while a file
// "veto-<stem>" exists there, and lets the test call the host's callbacks
// through two extra exports, as the plug-in's own windows would.
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "platform/Version.h"
#include "abi/PluginApi.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

QV_VERSION_INFO("FileVersion=" QV_TEST_VERSION "\0");

namespace {

QvHostParamCallback g_param = nullptr;
QvHostStrCallback g_str = nullptr;
std::unique_ptr<QIcon> g_icon;

std::string Stem() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&Stem), &info);
  return std::filesystem::path(info.dli_fname ? info.dli_fname : "?").stem().string();
}

void Log(const std::string& line) {
  std::ofstream(qv::ProgramDir() / "calls.log", std::ios::app | std::ios::binary) << Stem() << " " << line << "\n";
}

[[maybe_unused]] std::string Name() {
#ifdef QV_TEST_LONG_NAME
  std::string name;
  for (int i = 0; i < 150; ++i) name += qv::cp932::FromUtf8("あ");
  return name;
#else
  return qv::cp932::FromUtf8(QV_TEST_NAME);
#endif
}

}  // namespace

extern "C" {

QvBool PluginInitialize(void) {
  Log("PluginInitialize");
  return QV_TEST_INIT_RESULT;
}

QvBool PluginFinalize(void) {
  Log("PluginFinalize");
  g_icon.reset();
  return 1;
}

QvBool ShowForm(void) {
  Log("ShowForm");
  return 1;
}

QvBool CloseForm(void) {
  Log("CloseForm");
  return std::filesystem::exists(qv::ProgramDir() / ("veto-" + Stem())) ? 0 : 1;
}

QvBool SetParam(int32_t, int32_t) { return 1; }

int32_t SetStr(int32_t id, const char* text, int32_t size) {
  Log("SetStr " + std::to_string(id) + " " + (text ? text : "(null)") + " " + std::to_string(size));
  return 1;
}

QvBool GetParam(int32_t, int32_t*) { return 1; }
QvBool GetStr(int32_t, char* buffer, int32_t size) { return QvCopyText("", buffer, size); }

QvBool GetIcon(QvIconHandle* icon) {
  Log("GetIcon");
  if (!g_icon) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const unsigned hue = static_cast<unsigned>(std::hash<std::string>{}(Stem()) % 360);
    p.setBrush(QColor::fromHsv(static_cast<int>(hue), 160, 230));
    p.setPen(QPen(Qt::white, 2));
    p.drawRoundedRect(2, 2, 28, 28, 6, 6);
    p.end();
    g_icon = std::make_unique<QIcon>(pixmap);
  }
  *icon = g_icon.get();
  return 1;
}

QvBool GetPluginName(char* buffer, int32_t* size) {
  Log("GetPluginName");
#ifdef QV_TEST_RAW_NAME
  // Misbehaves: fills the whole buffer with double-byte characters and no NUL.
  const std::string a = qv::cp932::FromUtf8("あ");
  for (int32_t i = 0; i < *size; ++i) buffer[i] = a[i % 2];
  return 1;
#else
  return QvCopyText(Name().c_str(), buffer, *size);
#endif
}

int32_t CallBackParam(QvHostParamCallback callback) {
  Log(callback ? "CallBackParam" : "CallBackParam null");
  g_param = callback;
  return callback ? 1 : 0;
}

#ifndef QV_TEST_NO_CALLBACKSTR
int32_t CallBackStr(QvHostStrCallback callback) {
  Log(callback ? "CallBackStr" : "CallBackStr null");
  g_str = callback;
  return callback ? 1 : 0;
}
#endif

// What the plug-in's windows would do: ask the host.
QV_PLUGIN_EXPORT int32_t TestCallParam(int32_t kind, int32_t value) { return g_param ? g_param(kind, value) : -1; }
QV_PLUGIN_EXPORT int32_t TestCallStr(int32_t kind, const char* text) {
  return g_str ? g_str(kind, text, text ? static_cast<int32_t>(std::char_traits<char>::length(text) + 1) : 0) : -1;
}

}  // extern "C"
