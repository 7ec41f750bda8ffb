// The successor rules and the built graphs: which state follows which result,
// and where an unwired result goes.
#include "State.h"
#include "Status.h"

#include <gtest/gtest.h>

#include <map>

using portvine::BuildGraphs;
using portvine::CState;
using portvine::CStatus;
using portvine::Rule;
using portvine::StateEntry;

namespace {

// A state whose step the test decides: its check and its final test.
class Probe final : public CState {
 public:
  Probe(int32_t id, uint32_t flags, Rule rule) : CState(id, flags, rule) {}
  void Run() override {}
  bool check = true;
  int32_t finalTest = 0;
  void SetOwn(int32_t r) { ownResult_ = r; }

 protected:
  bool Check() const override { return check; }
  int32_t FinalTest(int32_t) override { return finalTest; }
};

// Successor slots are told apart by the id of the probe put in them.
struct Wired {
  CStatus status;
  Probe state;
  std::array<std::unique_ptr<Probe>, 6> slots;
  Probe release{9999, portvine::kFinal, Rule::A};
  Wired(Rule rule, uint32_t flags) : state(1, flags, rule) {
    state.status = &status;
    state.release = &release;
    for (int i = 0; i < 6; ++i) {
      slots[static_cast<size_t>(i)] = std::make_unique<Probe>(100 + i, 0, Rule::A);
      state.successors[static_cast<size_t>(i)] = slots[static_cast<size_t>(i)].get();
    }
  }
  // "S0".."S5", "self" or "release".
  std::string NextFor(int32_t result, bool check = true) {
    status.SetDone();
    switch (result) {
      case 1: status.SetAlt1(); break;
      case 2: status.SetAlt2(1, false); break;
      case 3: status.SetError(1); break;
      case 4: status.SetDeadline(1); break;
    }
    state.SetOwn(result);
    state.check = check;
    CState* next = state.Next();
    if (next == &state) return "self";
    if (next == &release) return "release";
    return "S" + std::to_string(next->Id() - 100);
  }
};

TEST(SuccessorRules, EachRuleMapsResultsToItsSlots) {
  using portvine::kWaitForCaller;
  struct Row {
    Rule rule;
    uint32_t flags;
    std::vector<std::string> forResults;  // results 0..5 (the status has 0..4), check passed
    std::string zeroWithoutCheck;
  } table[] = {
      {Rule::A, 0, {"S0", "S0", "S0", "S0", "S0", "S0"}, "S0"},
      {Rule::B, 0, {"S0", "S0", "S5", "S5", "S0", "S0"}, "S0"},
      {Rule::C, 0, {"S0", "S5", "S5", "S5", "S3", "S5"}, "S5"},
      {Rule::D, 0, {"S0", "S5", "S5", "S5", "S3", "S5"}, "S5"},
      {Rule::E, 0, {"S0", "S5", "S5", "S5", "S3", "S5"}, "S0"},
      {Rule::F, 0, {"S0", "S0", "S0", "S0", "S3", "S0"}, "S0"},
      {Rule::G, 0, {"S0", "self", "S5", "S5", "self", "self"}, "S0"},
      {Rule::I, 0, {"S0", "S1", "S5", "S5", "S5", "S5"}, "S0"},
      {Rule::J, 0, {"S0", "S5", "S5", "S5", "S3", "S5"}, "S0"},
      {Rule::K, 0, {"S0", "S5", "S5", "S5", "S5", "S5"}, "S0"},
      {Rule::L, 0, {"self", "S0", "S5", "S5", "S5", "S5"}, "self"},
      {Rule::Signup1000, 0, {"S0", "S2", "S2", "S2", "S2", "S2"}, "S0"},
      {Rule::Signup1001, 0, {"S0", "S2", "S3", "S4", "S5", "S5"}, "S4"},
      {Rule::Signup1002, 0, {"S0", "S4", "S3", "S4", "S5", "S5"}, "S4"},
      {Rule::Signup1004, 0, {"S0", "S2", "S3", "S4", "S1", "S5"}, "S0"},
      {Rule::Signup1005, 0, {"S0", "S5", "S3", "S5", "S5", "S5"}, "S0"},
      {Rule::Signup1006, 0, {"S0", "S0", "S0", "S0", "S0", "S5"}, "S0"},
  };
  for (const auto& row : table) {
    Wired w(row.rule, row.flags);
    const int32_t last = row.rule >= Rule::Signup1000 ? 5 : 4;
    for (int32_t r = 0; r <= last; ++r) EXPECT_EQ(w.NextFor(r), row.forResults[static_cast<size_t>(r)]) << static_cast<int>(row.rule) << " result " << r;
    EXPECT_EQ(w.NextFor(0, false), row.zeroWithoutCheck) << static_cast<int>(row.rule);
  }
}

TEST(SuccessorRules, SendingStateRepeatsWhileMailsRemain) {
  Wired w(Rule::D, portvine::kWaitForCaller);
  w.status.SetMailCount(2);
  EXPECT_EQ(w.NextFor(0), "self");
  w.status.DecrementMailCount();
  EXPECT_EQ(w.NextFor(0), "self");
  w.status.DecrementMailCount();
  EXPECT_EQ(w.NextFor(0), "S0");
  EXPECT_EQ(w.status.DecrementMailCount(), 0);  // never below 0
  // Without the wait flag it runs once whatever the count.
  Wired once(Rule::D, 0);
  once.status.SetMailCount(5);
  EXPECT_EQ(once.NextFor(0), "S0");
}

TEST(SuccessorRules, FinalTestsDecideOnSuccessAndSignup1006ClearsTheDeadline) {
  Wired h(Rule::H, 0);
  h.state.finalTest = 3;
  EXPECT_EQ(h.NextFor(0), "S5");
  h.state.finalTest = 4;
  EXPECT_EQ(h.NextFor(0), "S3");
  Wired s(Rule::Signup1004, 0);
  s.state.finalTest = 4;
  EXPECT_EQ(s.NextFor(0), "S1");
  Wired d(Rule::Signup1006, 0);
  d.status.TimerSet(60, 70002);
  EXPECT_EQ(d.NextFor(0), "S0");
  EXPECT_FALSE(d.status.TimerArmed());
}

TEST(SuccessorRules, UnwiredSlotGoesToTheReleaseState) {
  Wired w(Rule::E, 0);
  w.state.successors[5] = nullptr;  // the close states have no S5
  EXPECT_EQ(w.NextFor(3), "release");
  EXPECT_EQ(w.NextFor(0), "S0");
}

// The real tables, built with probes for every state.
struct AllGraphs {
  CStatus status;
  portvine::CIdleState idle;
  std::vector<portvine::BuiltGraph> graphs;
  std::map<int32_t, Probe*> byId;
  explicit AllGraphs(bool onlyEMail) {
    graphs = BuildGraphs(
        [&](const StateEntry& entry, int32_t kind) -> std::unique_ptr<CState> {
          if (onlyEMail && (kind < 3 || kind > 5)) return nullptr;
          auto p = std::make_unique<Probe>(entry.id, entry.flags, entry.rule);
          byId[entry.id] = p.get();
          return p;
        },
        idle, status);
  }
  // The walk from a state through the given results (check passed).
  std::vector<int32_t> Walk(int32_t from, std::initializer_list<int32_t> results) {
    std::vector<int32_t> ids;
    CState* s = byId.at(from);
    for (int32_t r : results) {
      status.SetDone();
      if (r == 1) status.SetAlt1();
      if (r == 2) status.SetAlt2(1, false);
      if (r == 3) status.SetError(1);
      if (r == 4) status.SetDeadline(1);
      s = s->Next();
      ids.push_back(s->Id());
    }
    return ids;
  }
};

TEST(Graphs, EveryGraphIsWiredWhenItsStatesExist) {
  AllGraphs all(false);
  ASSERT_EQ(all.graphs.size(), 7u);
  for (const auto& g : all.graphs) {
    EXPECT_TRUE(g.available) << g.kind;
    ASSERT_NE(g.first, nullptr);
    for (const auto& s : g.states) {
      ASSERT_NE(s->release, nullptr);
      EXPECT_TRUE(s->release->IsFinal()) << s->Id();
      EXPECT_EQ(s->status, &all.status);
    }
  }
  EXPECT_EQ(all.graphs[0].first->Id(), 1000);
  EXPECT_EQ(all.graphs[6].first->Id(), 2500);
}

TEST(Graphs, OnlyTheKindsWithStepsAreAvailable) {
  AllGraphs mail(true);
  std::vector<int32_t> available;
  for (const auto& g : mail.graphs)
    if (g.available) available.push_back(g.kind);
  EXPECT_EQ(available, (std::vector<int32_t>{3, 4, 5}));
}

TEST(Graphs, SessionsWalkTheirWiring) {
  AllGraphs all(false);
  // Send: dial, connect, mails, close, release; a deadline at connect ends
  // through the deadline end; a failed dial through the abort end.
  EXPECT_EQ(all.Walk(2200, {0, 0}), (std::vector<int32_t>{2201, 2202}));
  EXPECT_EQ(all.Walk(2202, {0, 0}), (std::vector<int32_t>{2203, 2204}));
  EXPECT_EQ(all.Walk(2201, {4, 0}), (std::vector<int32_t>{2207, 2204}));
  EXPECT_EQ(all.Walk(2200, {3, 0}), (std::vector<int32_t>{2205, 2204}));
  EXPECT_EQ(all.Walk(2201, {2, 4, 0}), (std::vector<int32_t>{2206, 2207, 2204}));
  // Receive: commands go round the dispatcher; leave closes.
  EXPECT_EQ(all.Walk(2301, {0, 0, 0, 1, 0}), (std::vector<int32_t>{2302, 2303, 2302, 2304, 2305}));
  EXPECT_EQ(all.Walk(2303, {3}), (std::vector<int32_t>{2307}));
  // The close that cannot write its line ends at the release state.
  EXPECT_EQ(all.Walk(2304, {3}), (std::vector<int32_t>{2305}));
  EXPECT_EQ(all.Walk(2405, {3}), (std::vector<int32_t>{2406}));
  // Exchange: the last mail leads to the dispatcher.
  EXPECT_EQ(all.Walk(2401, {0, 0}), (std::vector<int32_t>{2402, 2403}));
  // Ring wait returns to its armed state after a reception.
  EXPECT_EQ(all.Walk(2100, {0, 0, 0, 0, 0}), (std::vector<int32_t>{2101, 2102, 2103, 2104, 2100}));
  EXPECT_EQ(all.Walk(2100, {1, 2, 0}), (std::vector<int32_t>{2100, 2105, 0}));
  // Information mode: the dispatcher stays until asked to leave.
  EXPECT_EQ(all.Walk(2502, {0, 0, 1, 0}), (std::vector<int32_t>{2502, 2502, 2503, 2504}));
  EXPECT_TRUE(all.byId.at(2302)->IsVariant());
  EXPECT_TRUE(all.byId.at(2202)->WaitsForCaller());
  EXPECT_FALSE(all.byId.at(2002)->WaitsForCaller());
  EXPECT_TRUE(all.idle.IsFinal());
}

}  // namespace
