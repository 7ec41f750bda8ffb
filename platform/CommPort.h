#pragma once
// Serial communications in the shape of the Win32 comm API: open a COM port
// exclusively, read and apply DCB-style settings and timeouts, purge, clear
// errors, drive and read the modem lines, read and write bytes.
//
// "COMn" and "\\.\COMn" resolve through the port folder ($QUORVEL_PORTS, else
// ports/ beside the program); an entry there is (or links to) a tty device or
// the Unix socket of a simulated handset. Without an entry COMn is /dev/ttyS<n-1>.
// Two back ends: termios for devices, and the fixed frame protocol of the
// simulated line for sockets.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace qv {

// The DCB flag word, bit for bit.
namespace dcb {
constexpr uint32_t fBinary = 0x0001;
constexpr uint32_t fParity = 0x0002;
constexpr uint32_t fOutxCtsFlow = 0x0004;
constexpr uint32_t fOutxDsrFlow = 0x0008;
constexpr uint32_t fDtrControlMask = 0x0030;
constexpr uint32_t DtrControlEnable = 0x0010;
constexpr uint32_t DtrControlHandshake = 0x0020;
constexpr uint32_t fDsrSensitivity = 0x0040;
constexpr uint32_t fTXContinueOnXoff = 0x0080;
constexpr uint32_t fOutX = 0x0100;
constexpr uint32_t fInX = 0x0200;
constexpr uint32_t fErrorChar = 0x0400;
constexpr uint32_t fNull = 0x0800;
constexpr uint32_t fRtsControlMask = 0x3000;
constexpr uint32_t RtsControlEnable = 0x1000;
constexpr uint32_t RtsControlHandshake = 0x2000;
constexpr uint32_t RtsControlToggle = 0x3000;
constexpr uint32_t fAbortOnError = 0x4000;
}  // namespace dcb

struct CommSettings {
  uint32_t baudRate = 9600;
  uint32_t flags = dcb::fBinary;
  uint8_t byteSize = 8;
  uint8_t parity = 0;    // 0 none, 1 odd, 2 even
  uint8_t stopBits = 0;  // 0 one, 2 two
};

// All in milliseconds. readInterval == kMaxDword with the other two read values
// 0 makes a read return at once with whatever has arrived.
struct CommTimeouts {
  static constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
  uint32_t readInterval = 0;
  uint32_t readMultiplier = 0;
  uint32_t readConstant = 0;
  uint32_t writeMultiplier = 0;
  uint32_t writeConstant = 0;
};

// GetCommModemStatus bits.
constexpr uint32_t MS_CTS_ON = 0x10;
constexpr uint32_t MS_DSR_ON = 0x20;
constexpr uint32_t MS_RING_ON = 0x40;
constexpr uint32_t MS_RLSD_ON = 0x80;

// ClearCommError bits.
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_TXFULL = 0x0100;
constexpr uint32_t CE_IOE = 0x0400;

// PurgeComm actions.
constexpr uint32_t PURGE_TXABORT = 0x1;
constexpr uint32_t PURGE_RXABORT = 0x2;
constexpr uint32_t PURGE_TXCLEAR = 0x4;
constexpr uint32_t PURGE_RXCLEAR = 0x8;
constexpr uint32_t PURGE_ALL = 0xF;

enum class CommEscape { SetDtr, ClrDtr, SetRts, ClrRts };

// The port folder: $QUORVEL_PORTS when set, else ports/ beside the program.
std::filesystem::path CommPortFolder();
// The port folder's entry for "COMn" or "\\.\COMn", whether or not it exists;
// empty for any other name.
std::filesystem::path CommPortFolderEntry(std::string_view name);
// Where a port name leads: the folder entry when there is one, else the
// serial device; empty when the name is not a COM port name.
std::filesystem::path ResolveCommPort(std::string_view name);

// USB serial adapters get no COM number from Linux, only a stable name in
// /dev/serial/by-id ($QUORVEL_SERIAL_BY_ID names another folder): its
// entries, sorted by name.
std::vector<std::filesystem::path> SerialByIdDevices();
// The first COM port number whose port folder entry leads to the device; 0
// when none does.
int CommPortLinkedTo(const std::filesystem::path& device);
// Makes the first free COM port (no port folder entry and no serial device
// behind its number) an entry of the port folder that links to device: its
// number, or 0 when no number is free or the link cannot be made.
int LinkCommPort(const std::filesystem::path& device);

class CommBackend;

class CommPort {
 public:
  CommPort();
  ~CommPort();
  CommPort(const CommPort&) = delete;
  CommPort& operator=(const CommPort&) = delete;

  // Opens the port for reading and writing, for this object alone: a port held
  // by anyone else fails (LastError() is then EBUSY).
  bool Open(std::string_view name);
  void Close();
  bool IsOpen() const;

  bool GetState(CommSettings& settings);
  // Fails (EINVAL) for settings the device cannot take, a speed among them.
  bool SetState(const CommSettings& settings);
  bool SetTimeouts(const CommTimeouts& timeouts);
  bool Purge(uint32_t actions);
  // The pending error bits, cleared by the call.
  uint32_t ClearErrors();
  bool Escape(CommEscape function);
  // False when the lines cannot be read (the device is gone, or has no lines).
  bool GetModemStatus(uint32_t& status);
  // Both follow the timeouts. A write that cannot finish in time because the
  // transmit queue stays full fails with CE_TXFULL pending; one held back by
  // output flow control succeeds with fewer bytes written, as on Win32.
  bool Read(void* data, size_t size, size_t& got);
  bool Write(const void* data, size_t size, size_t& written);
  // Waits at most timeout for received bytes, as WaitCommEvent does for
  // EV_RXCHAR; true when there are bytes to read. It may also return early
  // when the modem lines change. A closed port returns false at once.
  bool WaitForInput(std::chrono::milliseconds timeout);

  // errno of the last failure, for diagnostics.
  int LastError() const { return lastError_; }

 private:
  std::unique_ptr<CommBackend> backend_;
  int lastError_ = 0;
};

}  // namespace qv
