// The AT dialogue of CModem against the simulated handset: the preparation,
// the own-number query with its fallback, dialling and hanging up.
#include "Clock.h"
#include "Modem.h"
#include "Simulator.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;
using handsetsim::SimConfig;
using portvine::CModem;
using portvine::CPort;
using portvine::CStatus;

namespace {

struct ModemFixture : ::testing::Test {
  qvtest::TempDir dir;
  std::unique_ptr<handsetsim::Simulator> sim;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  CStatus status;
  CPort port{status, abort, flow};
  portvine::ParamStore params;

  void Start(SimConfig c = {}) {
    portvine::clock::SetRate(20);
    ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
    sim = std::make_unique<handsetsim::Simulator>(c);
    std::string error;
    ASSERT_TRUE(sim->Start(dir / "COM8", &error)) << error;
    ASSERT_TRUE(port.PortSetup("\\\\.\\COM8", 115200));
    ASSERT_TRUE(port.PortOpen());
  }
  void TearDown() override {
    port.PortClose();
    if (sim) sim->Stop();
    portvine::clock::SetRate(1);
  }
  std::vector<std::string> Commands() { return sim->Record().atCommands; }
};

TEST_F(ModemFixture, PreparationSpeaksTheHandsetsDialogue) {
  Start();
  CModem modem(port, &params);
  ASSERT_TRUE(modem.Prepare()) << port.Error();
  EXPECT_EQ(modem.P1Supported(), 1);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"", "", "E0", "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50", "#P1", "I9",
                                                  "I3", "@R1:1"}));
  EXPECT_EQ(sim->Record().hostLines & 0x01, 0x01);  // DTR raised
}

TEST_F(ModemFixture, HandsetWithoutP1GoesOnWithoutTheMark) {
  SimConfig c;
  c.p1Supported = false;
  Start(c);
  CModem modem(port, &params);
  EXPECT_TRUE(modem.Prepare());
  EXPECT_EQ(modem.P1Supported(), 0);
}

TEST_F(ModemFixture, HandsetThatNeverComesUpFailsWith90011) {
  SimConfig c;
  c.powered = false;
  Start(c);
  CModem modem(port, &params);
  EXPECT_FALSE(modem.Prepare());
  EXPECT_EQ(port.Error(), 90011);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(ModemFixture, OwnNumberFallsBackToI6AndKeepsOnlyWhatFits) {
  SimConfig c;
  c.q2Supported = false;
  c.ownNumber = "07055556666";
  Start(c);
  CModem modem(port, &params);
  std::string number;
  EXPECT_TRUE(modem.ReadOwnNumber(number));
  EXPECT_EQ(number, "07055556666");
  EXPECT_EQ(Commands(), (std::vector<std::string>{"#Q2", "I6"}));
}

TEST_F(ModemFixture, DialsTheCentreWithTheBillingSuffixAndHangsUp) {
  Start();
  KwxInitialParam p{};
  std::snprintf(p.EMailPhoneNo, sizeof p.EMailPhoneNo, "0570123456");
  p.Bunkei = 1;
  params.Set(p);
  CModem modem(port, &params);
  port.DtrOn();  // as the preparation leaves it
  EXPECT_EQ(modem.DialString("0570123456"), "0570123456,01");
  std::snprintf(p.OnlineSignUpPhoneNo, sizeof p.OnlineSignUpPhoneNo, "0570999");
  params.Set(p);
  EXPECT_EQ(modem.SignupDialString(), "0570999,01");
  p.Bunkei = 0;
  params.Set(p);
  EXPECT_EQ(modem.SignupDialString(), "0570999,00");
  EXPECT_EQ(modem.DialString("0570123456"), "0570123456");
  p.Bunkei = 1;
  params.Set(p);
  EXPECT_TRUE(modem.SetBilling(true));
  ASSERT_TRUE(modem.SelectAndDial(portvine::kServiceReceive, modem.DialString("0570123456")));
  EXPECT_TRUE(sim->WaitUntil([](const auto& r) { return r.callUp; }, 2s));
  for (int i = 0; i < 500 && !port.PortCarrier(); ++i) portvine::clock::Sleep(20);
  EXPECT_EQ(port.PortCarrier(), 1);
  EXPECT_TRUE(modem.Hangup());
  EXPECT_FALSE(sim->Record().callUp);
  EXPECT_EQ(sim->Record().dialled, std::vector<std::string>{"0570123456,01"});
  // Nobody answers a service without a centre: NO CARRIER.
  portvine::clock::Sleep(200);
  port.Purge();  // what the hang-up left unread
  EXPECT_FALSE(modem.SelectAndDial(7, "09011112222"));
  EXPECT_EQ(port.Error(), 90009);
}

TEST_F(ModemFixture, DialThatIsNeverAnsweredIsNoAnswer) {
  SimConfig c;
  c.faults.push_back({handsetsim::Step::Dial, handsetsim::Action::Silent, 1, -1});
  Start(c);
  CModem modem(port, &params);
  EXPECT_FALSE(modem.SelectAndDial(portvine::kServiceSend, "0570000000"));
  EXPECT_EQ(port.Error(), 90004);
}

}  // namespace
