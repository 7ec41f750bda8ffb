#include "State.h"

#include "Status.h"
#include "seriallink/common/SignupRules.h"

#include <map>

namespace portvine {
using ::seriallink::SignupRule;
using ::seriallink::SignupSlot;

CState::CState(int32_t id, uint32_t flags, Rule rule) : id_(id), flags_(flags), rule_(rule) {}

CState* CState::Pick(int32_t r) {
  auto& s = successors;
  switch (rule_) {
    case Rule::A: return s[0];
    case Rule::B: return (r == kAlt2 || r == kError) ? s[5] : s[0];
    case Rule::C: return r == kDone ? (Check() ? s[0] : s[5]) : r == kDeadline ? s[3] : s[5];
    case Rule::D:
      if (r == kDone && Check()) {
        if (!WaitsForCaller()) return s[0];
        return (status && status->MailCount() != 0) ? this : s[0];
      }
      return r == kDeadline ? s[3] : s[5];
    case Rule::E:
    case Rule::J: return r == kDone ? s[0] : r == kDeadline ? s[3] : s[5];
    case Rule::F: return r == kDeadline ? s[3] : s[0];
    case Rule::G: return r == kDone ? s[0] : (r == kAlt2 || r == kError) ? s[5] : this;
    case Rule::H:
      if (r == kDone) r = FinalTest(r);
      return r == kDone ? s[0] : r == kDeadline ? s[3] : s[5];
    case Rule::I: return r == kDone ? s[0] : r == kAlt1 ? s[1] : s[5];
    case Rule::K: return r == kDone ? s[0] : s[5];
    case Rule::L: return r == kDone ? this : r == kAlt1 ? s[0] : s[5];
    // The sign-up states read their own result.
    case Rule::Signup1000: return s[SignupSlot(SignupRule::Dial, r, Check())];
    case Rule::Signup1001: return s[SignupSlot(SignupRule::Exchange, r, Check())];
    case Rule::Signup1002: return s[SignupSlot(SignupRule::Request, r, Check())];
    case Rule::Signup1004:
      if (r == 0) r = FinalTest(r);
      return s[SignupSlot(SignupRule::Ack, r, Check())];
    case Rule::Signup1005: return s[SignupSlot(SignupRule::Wait, r, Check())];
    case Rule::Signup1006: {
      const int slot = SignupSlot(SignupRule::Closed, r, Check());
      if (slot == 0 && status) status->TimerClear();
      return s[slot];
    }
  }
  return nullptr;
}

CState* CState::Next() {
  const bool own = rule_ >= Rule::Signup1000;
  const int32_t r = own ? ownResult_ : (status ? status->Result() : kDone);
  CState* next = Pick(r);
  // A result no slot is wired for ends the session through the release state.
  return next ? next : release;
}

CIdleState::CIdleState() : CState(0, kFinal, Rule::A) {}

void CIdleState::Run() {
  if (!status) return;
  status->kind.store(0);
  status->TimerClear();
  status->SetDone();
}

namespace {
constexpr int32_t X = kNotWired;
constexpr uint32_t W = kWaitForCaller, V = kVariant, O = kOnline, Fi = kFinal;

// The pattern shared by direct mail, e-mail send, receive and exchange.
GraphTable MailPattern(int32_t kind, int32_t base, bool sends, bool sendWaits, bool commands) {
  GraphTable g{kind, base, 0, {}};
  const int32_t first = base, connect = base + 1;
  int32_t id = base + 2;
  const int32_t send = sends ? id++ : X;
  const int32_t dispatcher = commands ? id++ : X;
  const int32_t command = commands ? id++ : X;
  const int32_t close = id++, release = id++, abortEnd = id++, errorEnd = id++, deadlineEnd = id++;
  g.release = release;
  const int32_t afterConnect = sends ? send : dispatcher;
  g.states.push_back({first, 0, Rule::B, {connect, X, X, X, X, abortEnd}});
  g.states.push_back({connect, O, Rule::C, {afterConnect, X, X, deadlineEnd, X, errorEnd}});
  if (sends)
    g.states.push_back({send, sendWaits ? (W | O) : O, Rule::D, {commands ? dispatcher : close, X, X, deadlineEnd, X, errorEnd}});
  if (commands) {
    g.states.push_back({dispatcher, W | V | O, Rule::I, {command, close, X, deadlineEnd, X, errorEnd}});
    g.states.push_back({command, O, Rule::J, {dispatcher, X, X, deadlineEnd, X, errorEnd}});
  }
  g.states.push_back({close, O, Rule::E, {release, X, X, deadlineEnd, X, X}});
  g.states.push_back({release, Fi, Rule::A, {0, X, X, X, X, X}});
  g.states.push_back({abortEnd, 0, Rule::A, {release, X, X, X, X, X}});
  g.states.push_back({errorEnd, 0, Rule::F, {release, X, X, deadlineEnd, X, X}});
  g.states.push_back({deadlineEnd, 0, Rule::A, {release, X, X, X, X, X}});
  return g;
}

std::vector<GraphTable> MakeGraphs() {
  std::vector<GraphTable> graphs;
  graphs.push_back({0,
                    1000,
                    0,
                    {
                        {1000, 0, Rule::Signup1000, {1001, X, 0, 0, 1000, 1000}},
                        {1001, 0, Rule::Signup1001, {1002, X, 1007, 1008, 1009, 1010}},
                        {1002, W | O, Rule::Signup1002, {1003, X, 1007, 1008, 1009, 1010}},
                        {1003, O, Rule::Signup1001, {1004, X, 1007, 1008, 1009, 1010}},
                        {1004, O, Rule::Signup1004, {1002, 1005, 1006, 1008, 1009, 1010}},
                        {1005, 0, Rule::Signup1005, {0, X, 1007, 1008, 1009, 1010}},
                        {1006, O, Rule::Signup1006, {1007, X, 1007, 1008, 1009, 1010}},
                        {1007, 0, Rule::Signup1005, {0, X, 1007, 1008, 1009, 1010}},
                        {1008, 0, Rule::A, {0, X, 1007, 1008, 1009, 1010}},
                        {1009, 0, Rule::Signup1005, {0, X, 1007, 1008, 1009, 1010}},
                        {1010, 0, Rule::A, {0, X, 1007, 1008, 1009, 1010}},
                    }});
  graphs.push_back(MailPattern(1, 2000, true, false, false));
  graphs.push_back({2,
                    2100,
                    0,
                    {
                        {2100, 0, Rule::G, {2101, X, X, X, X, 2105}},
                        {2101, O, Rule::C, {2102, X, X, 2107, X, 2106}},
                        {2102, W | O, Rule::C, {2103, X, X, 2107, X, 2106}},
                        {2103, O, Rule::H, {2104, X, X, 2107, X, 2106}},
                        {2104, 0, Rule::A, {2100, X, X, X, X, X}},
                        {2105, 0, Rule::A, {0, X, X, X, X, X}},
                        {2106, 0, Rule::F, {2104, X, X, 2107, X, X}},
                        {2107, 0, Rule::A, {2104, X, X, X, X, X}},
                    }});
  graphs.push_back(MailPattern(3, 2200, true, true, false));
  graphs.push_back(MailPattern(4, 2300, false, false, true));
  graphs.push_back(MailPattern(5, 2400, true, true, true));
  graphs.push_back({6,
                    2500,
                    2504,
                    {
                        {2500, 0, Rule::B, {2501, X, X, X, X, 2505}},
                        {2501, O, Rule::K, {2502, X, X, X, X, 2506}},
                        {2502, W | O, Rule::L, {2503, X, X, X, X, 2506}},
                        {2503, O, Rule::K, {2504, X, X, X, X, 2506}},
                        {2504, Fi, Rule::A, {0, X, X, X, X, X}},
                        {2505, O, Rule::A, {2504, X, X, X, X, X}},
                        {2506, O, Rule::A, {2504, X, X, X, X, X}},
                    }});
  return graphs;
}
}  // namespace

const std::vector<GraphTable>& Graphs() {
  static const std::vector<GraphTable> graphs = MakeGraphs();
  return graphs;
}

std::vector<BuiltGraph> BuildGraphs(const StateFactory& factory, CState& idle, CStatus& status) {
  idle.status = &status;
  std::vector<BuiltGraph> built;
  for (const GraphTable& table : Graphs()) {
    BuiltGraph g;
    g.kind = table.kind;
    g.available = true;
    std::map<int32_t, CState*> byId{{0, &idle}};
    for (const StateEntry& s : table.states) {
      std::unique_ptr<CState> state = factory ? factory(s, table.kind) : nullptr;
      if (!state) {
        g.available = false;
        continue;
      }
      state->status = &status;
      byId[s.id] = state.get();
      g.states.push_back(std::move(state));
    }
    if (g.available) {
      CState* release = byId.at(table.release);
      for (size_t i = 0; i < table.states.size(); ++i) {
        CState* state = g.states[i].get();
        for (size_t k = 0; k < 6; ++k)
          state->successors[k] = table.states[i].successors[k] == kNotWired ? nullptr : byId.at(table.states[i].successors[k]);
        state->release = release;
      }
      g.first = byId.at(table.first);
    } else {
      g.states.clear();
    }
    built.push_back(std::move(g));
  }
  return built;
}

}  // namespace portvine
