#pragma once
// The module object behind the exports: the port, the session status, the
// module's copy of the parameter block, the three events and the engine.
// The exports only forward to it; tests may make one of their own.
#include "Engine.h"
#include "abi/KwxApi.h"

#include <atomic>

namespace portvine {

class Portvine {
 public:
  Portvine();
  ~Portvine();
  Portvine(const Portvine&) = delete;
  Portvine& operator=(const Portvine&) = delete;

  int32_t Initial(uint32_t window, const KwxInitialParam* param);
  int32_t Terminate();
  int32_t GetState() const;
  int32_t ConnectEMail(int32_t mode, int32_t count);
  int32_t ConnectSMail(const char* destination, const char* data, int32_t length);
  int32_t ConnectSignup();
  int32_t Disconnect(int32_t reason);
  int32_t TestPort(int32_t number);
  int32_t GetErrorCode() const;
  int32_t SetParam(int32_t id, int32_t value);
  int32_t GetParam(int32_t id, char* buffer, int32_t size) const;
  int32_t AsyncSendEMail(const char* data, int32_t length);
  int32_t AsyncGetEMailList(int32_t count);
  int32_t AsyncGetEMail(const char* id);
  int32_t PurgeEMail(const char* id);
  int32_t ExitEMail();
  int32_t ReadySMail();
  int32_t AsyncGetBuffer(char* buffer, int32_t* size);
  int32_t WaitForRing();
  int32_t ResumeTxRx();
  int32_t GetTelNumber(const char* port, int32_t baud, char* out36);
  int32_t GetDllVersion(char* out36) const;
  void LogWrite(const char* text);
  int32_t EnterInfoMode(int32_t category);
  int32_t PostInfo(int32_t operation);
  int32_t SetInfo(const char* data, int32_t length, int32_t operation);
  int32_t SetCategory(int32_t category);
  void SetCallback(KwxTraceProc proc);

  CStatus& Status() { return status_; }
  CPort& Port() { return port_; }
  CEngine& Engine() { return engine_; }

 private:
  bool StartKind(int32_t kind, const std::function<void()>& recordInputs, const std::function<bool()>& prepare = nullptr);

  qv::Event abort_{qv::Event::Mode::AutoReset, false};
  qv::Event operation_{qv::Event::Mode::AutoReset, false};
  qv::Event flow_{qv::Event::Mode::ManualReset, true};
  CStatus status_;
  CPort port_;
  ParamStore params_;
  std::atomic<bool> sessionStarted_{false};
  CEngine engine_;
};

}  // namespace portvine
