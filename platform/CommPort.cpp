#include "platform/CommPort.h"

#include "platform/CommBackend.h"
#include "platform/ComPortName.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace qv {

namespace {
bool HasEntry(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found && !ec;
}
}  // namespace

std::filesystem::path CommPortFolder() {
  const char* folder = std::getenv("QUORVEL_PORTS");
  return (folder && *folder) ? std::filesystem::path(folder) : ProgramDir() / "ports";
}

std::filesystem::path CommPortFolderEntry(std::string_view name) {
  const int number = ComPortNumber(name);
  if (number == 0) return {};
  return CommPortFolder() / ("COM" + std::to_string(number));
}

std::filesystem::path ResolveCommPort(std::string_view name) {
  std::filesystem::path entry = CommPortFolderEntry(name);
  if (entry.empty()) return {};
  if (HasEntry(entry)) return entry;
  return "/dev/ttyS" + std::to_string(ComPortNumber(name) - 1);
}

std::vector<std::filesystem::path> SerialByIdDevices() {
  const char* folder = std::getenv("QUORVEL_SERIAL_BY_ID");
  const std::filesystem::path dir = (folder && *folder) ? std::filesystem::path(folder) : "/dev/serial/by-id";
  std::vector<std::filesystem::path> devices;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    devices.push_back(it->path());
  std::sort(devices.begin(), devices.end());
  return devices;
}

int CommPortLinkedTo(const std::filesystem::path& device) {
  std::error_code ec;
  const auto target = std::filesystem::canonical(device, ec);
  if (ec) return 0;
  for (int n = 1; n <= kMaxComPort; ++n) {
    const auto entry = CommPortFolderEntry("COM" + std::to_string(n));
    if (!HasEntry(entry)) continue;
    const auto leads = std::filesystem::canonical(entry, ec);
    if (!ec && leads == target) return n;
  }
  return 0;
}

int LinkCommPort(const std::filesystem::path& device) {
  for (int n = 1; n <= kMaxComPort; ++n) {
    const std::string name = "COM" + std::to_string(n);
    const auto entry = CommPortFolderEntry(name);
    // A number whose serial device exists stays that device's.
    if (HasEntry(entry) || HasEntry(ResolveCommPort(name))) continue;
    std::error_code ec;
    std::filesystem::create_directories(entry.parent_path(), ec);
    std::filesystem::create_symlink(device, entry, ec);
    return ec ? 0 : n;
  }
  return 0;
}

int64_t ReadWaitMs(const CommTimeouts& t, size_t size) {
  if (t.readInterval == CommTimeouts::kMaxDword && t.readMultiplier == 0 && t.readConstant == 0) return 0;
  if (t.readMultiplier == 0 && t.readConstant == 0) return -1;
  return static_cast<int64_t>(t.readMultiplier) * static_cast<int64_t>(size) + t.readConstant;
}

int64_t WriteWaitMs(const CommTimeouts& t, size_t size) {
  if (t.writeMultiplier == 0 && t.writeConstant == 0) return -1;
  return static_cast<int64_t>(t.writeMultiplier) * static_cast<int64_t>(size) + t.writeConstant;
}

WaitBudget::WaitBudget(int64_t ms)
    : unlimited_(ms < 0), end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms)) {}

int64_t WaitBudget::Left() const {
  if (unlimited_) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
  return left > 0 ? left : 0;
}

CommPort::CommPort() = default;
CommPort::~CommPort() = default;

bool CommPort::Open(std::string_view name) {
  Close();
  std::filesystem::path path = ResolveCommPort(name);
  if (path.empty()) {
    lastError_ = ENOENT;
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    lastError_ = errno;
    return false;
  }
  int error = 0;
  backend_ = S_ISSOCK(st.st_mode) ? OpenSimBackend(path, error) : OpenTtyBackend(path, error);
  lastError_ = error;
  return backend_ != nullptr;
}

void CommPort::Close() { backend_.reset(); }

bool CommPort::IsOpen() const { return backend_ != nullptr; }

// Every operation on a closed port fails with EBADF, like a call on an invalid handle.
#define QV_COMM_CALL(expr)                 \
  do {                                     \
    if (!backend_) {                       \
      lastError_ = EBADF;                  \
      return false;                        \
    }                                      \
    bool ok_ = (expr);                     \
    if (!ok_) lastError_ = backend_->error; \
    return ok_;                            \
  } while (0)

bool CommPort::GetState(CommSettings& settings) { QV_COMM_CALL(backend_->GetState(settings)); }
bool CommPort::SetState(const CommSettings& settings) { QV_COMM_CALL(backend_->SetState(settings)); }
bool CommPort::SetTimeouts(const CommTimeouts& timeouts) { QV_COMM_CALL(backend_->SetTimeouts(timeouts)); }
bool CommPort::Purge(uint32_t actions) { QV_COMM_CALL(backend_->Purge(actions)); }
bool CommPort::Escape(CommEscape function) { QV_COMM_CALL(backend_->Escape(function)); }
bool CommPort::GetModemStatus(uint32_t& status) { QV_COMM_CALL(backend_->GetModemStatus(status)); }

bool CommPort::Read(void* data, size_t size, size_t& got) {
  got = 0;
  QV_COMM_CALL(backend_->Read(data, size, got));
}

bool CommPort::Write(const void* data, size_t size, size_t& written) {
  written = 0;
  QV_COMM_CALL(backend_->Write(data, size, written));
}

bool CommPort::WaitForInput(std::chrono::milliseconds timeout) { return backend_ && backend_->WaitForInput(timeout); }

#undef QV_COMM_CALL

uint32_t CommPort::ClearErrors() { return backend_ ? backend_->ClearErrors() : 0; }

}  // namespace qv
