#pragma once
// The handset: the AT dialogue, its modem lines and the calls it places.
// What answers a connected call is a pluggable peer (a centre), chosen by the
// service selected with "#X" before dialling.
#include "InfoMode.h"
#include "LineServer.h"
#include "SimState.h"

#include <functional>
#include <map>
#include <memory>

namespace handsetsim {

// The connected call, as the peer behind it sees it.
class CallLine {
 public:
  virtual ~CallLine() = default;
  virtual void Send(std::string_view bytes) = 0;
  // The far end hangs up: the carrier drops once what was sent has gone out.
  virtual void Hangup() = 0;
  // A timer that never fires after the call has ended.
  virtual void After(std::chrono::milliseconds delay, std::function<void()> fn) = 0;
  // The cable is pulled: the host's connection goes.
  virtual void Unplug() = 0;
};

class CallPeer {
 public:
  virtual ~CallPeer() = default;
  virtual void OnConnected() {}
  virtual void OnData(std::string_view bytes) = 0;
  virtual void ReleaseHeld() {}
};

// Makes the peer for a dialled call, or null when nobody answers that service.
using PeerFactory = std::function<std::unique_ptr<CallPeer>(int service, const std::string& number, CallLine& line)>;

class Handset final : public LineHandler, private CallLine {
 public:
  Handset(LineServer& line, SimState& state, PeerFactory peers);

  void OnHostConnected() override;
  void OnHostDisconnected() override;
  void OnHostRefused() override;
  void OnData(std::string_view bytes) override;
  void OnLines(uint8_t lines) override;
  void OnSpeed(uint32_t baud) override;

  void SetPowered(bool on);
  void DropCarrier();
  void ReleaseHeld();
  void Ring(const IncomingCall& call);

 private:
  void Send(std::string_view bytes) override;
  void Hangup() override;
  void After(std::chrono::milliseconds delay, std::function<void()> fn) override;
  void Unplug() override;

  void Execute(const std::string& line);
  void Dial(const std::string& number);
  // The call is up with peer_ at its far end: DCD, then CONNECT.
  // The call is up: DCD, then CONNECT; with carrierLateMs DCD follows CONNECT.
  void Connect(int carrierLateMs = 0);
  void InfoData(std::string_view bytes);
  void EndCall(bool noCarrierText);
  uint8_t LineStatus() const;

  LineServer& line_;
  SimState& state_;
  PeerFactory peers_;
  bool powered_ = true;
  bool echo_ = false;
  std::string command_;
  int service_ = -1;
  bool dialling_ = false;
  bool callUp_ = false;
  bool carrierLate_ = false;  // the call is up, DCD not yet
  bool ringing_ = false;
  uint64_t callGeneration_ = 0;
  std::unique_ptr<CallPeer> peer_;
  std::map<int, std::string> registers_;
  int lightMails_ = 0;
  std::string lightMailText_;
  bool infoMode_ = false;
  // The last command that set the echo also held the settings: information
  // mode's preparation, whose ATI9 may be answered otherwise.
  bool infoPrepared_ = false;
  std::string infoIn_;
  InfoMode info_;
};

}  // namespace handsetsim
