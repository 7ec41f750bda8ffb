#pragma once
// CState: one step of a session. Run does the step on the line and records its
// result; Next names the successor from that result by the state's rule. The
// seven session graphs are fixed tables of states, flags, rules and successors.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace portvine {

class CStatus;

enum StateFlag : uint32_t {
  kWaitForCaller = 1,  // the worker tells the caller it is ready and waits for an operation first
  kVariant = 2,        // that ready event says 7 (next e-mail command) instead of 1
  kOnline = 4,         // runs with a call up: the session ends when the carrier is off
  kFinal = 8,          // reaching it ends the session; never run
};

// Successor rules.
enum class Rule { A, B, C, D, E, F, G, H, I, J, K, L, Signup1000, Signup1001, Signup1002, Signup1004, Signup1005, Signup1006 };

class CState {
 public:
  CState(int32_t id, uint32_t flags, Rule rule);
  virtual ~CState() = default;
  CState(const CState&) = delete;
  CState& operator=(const CState&) = delete;

  virtual void Run() = 0;
  CState* Next();

  int32_t Id() const { return id_; }
  uint32_t Flags() const { return flags_; }
  bool WaitsForCaller() const { return flags_ & kWaitForCaller; }
  bool IsVariant() const { return flags_ & kVariant; }
  bool IsOnline() const { return flags_ & kOnline; }
  bool IsFinal() const { return flags_ & kFinal; }
  Rule GetRule() const { return rule_; }

  // Wiring: six successor slots, and the graph's release state, which takes
  // the place of any slot that is not wired.
  std::array<CState*, 6> successors{};
  CState* release = nullptr;
  // The status whose result the rules read (the sign-up states read their own).
  CStatus* status = nullptr;

 protected:
  // Whether the step's answer line was the expected one.
  virtual bool Check() const { return true; }
  // A state's own last word on a result of 0 (rule H and state 1004).
  virtual int32_t FinalTest(int32_t result) { return result; }
  int32_t ownResult_ = 0;

 private:
  CState* Pick(int32_t result);
  const int32_t id_;
  const uint32_t flags_;
  const Rule rule_;
};

// The idle state (id 0): final; its run records the end of every session.
class CIdleState final : public CState {
 public:
  CIdleState();
  void Run() override;
};

// The fixed tables of the graphs.
constexpr int32_t kNotWired = -1;
struct StateEntry {
  int32_t id;
  uint32_t flags;
  Rule rule;
  std::array<int32_t, 6> successors;
};
struct GraphTable {
  int32_t kind;
  int32_t first;
  int32_t release;  // 0 for the graphs that end in the idle state
  std::vector<StateEntry> states;
};
const std::vector<GraphTable>& Graphs();

// A built graph: its states, wired; available only when every state of the
// table could be made.
struct BuiltGraph {
  int32_t kind = -1;
  CState* first = nullptr;
  bool available = false;
  std::vector<std::unique_ptr<CState>> states;
};

// Makes the state object for one entry of the tables, or null when this build
// has no step for it.
using StateFactory = std::function<std::unique_ptr<CState>(const StateEntry& entry, int32_t kind)>;

// Builds every graph of the tables with the factory, wiring successors by id
// (id 0 is idle) and giving each state the status its rules read.
std::vector<BuiltGraph> BuildGraphs(const StateFactory& factory, CState& idle, CStatus& status);

}  // namespace portvine
