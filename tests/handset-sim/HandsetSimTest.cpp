// The simulated handset seen from the host side through the real CommPort:
// its AT answers and modem lines, the mail centre's protocol, faults, scripts.
#include "InfoMode.h"
#include "Simulator.h"

#include "TestSupport.h"
#include "platform/CommPort.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::Fault;
using handsetsim::SimConfig;
using handsetsim::SimMail;
using handsetsim::Simulator;
using handsetsim::Step;

namespace {

// A host on the simulated line: the port, and reading until an expected text.
class Host {
 public:
  explicit Host(const std::filesystem::path& socket) {
    ::setenv("QUORVEL_PORTS", socket.parent_path().c_str(), 1);
  }
  bool Open() {
    if (!port.Open("\\\\.\\COM4")) return false;
    qv::CommTimeouts t;
    t.readInterval = qv::CommTimeouts::kMaxDword;
    t.writeConstant = 500;
    t.writeMultiplier = 1;
    return port.SetTimeouts(t);
  }
  void Write(std::string_view bytes) {
    size_t written = 0;
    ASSERT_TRUE(port.Write(bytes.data(), bytes.size(), written));
    ASSERT_EQ(written, bytes.size());
  }
  // Everything that arrives until it ends with tail (or 5 s pass).
  std::string ReadUntil(std::string_view tail) {
    auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
      char buf[4096];
      size_t got = 0;
      if (!port.Read(buf, sizeof buf, got)) break;
      seen.append(buf, got);
      size_t at = seen.find(tail);
      if (at != std::string::npos) {
        std::string out = seen.substr(0, at + tail.size());
        seen.erase(0, at + tail.size());
        return out;
      }
      if (got == 0) std::this_thread::sleep_for(2ms);
    }
    std::string out;
    out.swap(seen);
    return out;
  }
  std::string At(const std::string& body, std::string_view tail = "\r\nOK\r\n") {
    Write("AT" + body + "\r");
    return ReadUntil(tail);
  }
  uint32_t Status() {
    uint32_t s = 0xFFFF;
    EXPECT_TRUE(port.GetModemStatus(s));
    return s;
  }
  bool WaitStatus(uint32_t want) {
    for (int i = 0; i < 500; ++i) {
      if (Status() == want) return true;
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }
  qv::CommPort port;
  std::string seen;
};

struct SimFixture : ::testing::Test {
  qvtest::TempDir dir;
  std::filesystem::path socket = dir / "COM4";
  std::unique_ptr<Simulator> sim;
  void Start(SimConfig config = {}) {
    sim = std::make_unique<Simulator>(std::move(config));
    std::string error;
    ASSERT_TRUE(sim->Start(socket, &error)) << error;
  }
  // Opens the port at a line speed the handset has taken.
  void OpenAt(Host& host, uint32_t baud) {
    ASSERT_TRUE(host.Open());
    qv::CommSettings s;
    s.baudRate = baud;
    ASSERT_TRUE(host.port.SetState(s));
    ASSERT_TRUE(sim->WaitUntil([baud](const auto& r) { return r.hostSpeed == baud; }, 2s));
  }
  // Dials the mail centre for a service and reads the CONNECT.
  void Connect(Host& host, const std::string& service = "3") {
    ASSERT_TRUE(host.Open());
    ASSERT_TRUE(host.port.Escape(qv::CommEscape::SetDtr));
    host.At("#X" + service);
    EXPECT_NE(host.At("DX0570000000", "CONNECT 64000\r\n").find("CONNECT"), std::string::npos);
    EXPECT_TRUE(host.WaitStatus(0xB0));
  }
};

TEST_F(SimFixture, AnswersTheAtDialogueWithVerboseResults) {
  SimConfig c;
  c.ownNumber = "07099998888";
  c.i9Text = "0AB";
  Start(c);
  struct stat st {};
  ASSERT_EQ(::lstat(socket.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "only this user may open the line";
  Host host(socket);
  ASSERT_TRUE(host.Open());
  EXPECT_TRUE(host.WaitStatus(qv::MS_CTS_ON | qv::MS_DSR_ON));
  struct {
    std::string body, answer;
  } table[] = {
      {"", "\r\nOK\r\n"},
      {"E0", "\r\nOK\r\n"},
      {"&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50", "\r\nOK\r\n"},
      {"#P1", "\r\nOK\r\n"},
      {"I9", "\r\n0AB\r\n\r\nOK\r\n"},
      {"@R1:1", "\r\nPAGING CONFIG 1:1\r\n\r\nOK\r\n"},
      {"#Q2", "\r\n07099998888\r\n\r\nOK\r\n"},
      {"@B1", "\r\nOK\r\n"},
      {"S240=0", "\r\nOK\r\n"},
      {"S240?", "\r\n0\r\n\r\nOK\r\n"},
      {"ZZ", "\r\nERROR\r\n"},
  };
  for (const auto& row : table) {
    std::string tail = row.answer.substr(row.answer.size() - (row.answer.find("ERROR") != std::string::npos ? 9 : 6));
    EXPECT_EQ(host.At(row.body, tail), row.answer) << row.body;
  }
  EXPECT_EQ(sim->Record().atCommands.size(), std::size(table));
}

TEST_F(SimFixture, ScriptedAnswersTakeThePlaceOfTheHandsets) {
  SimConfig c;
  c.atAnswers = {{"@R0:0", "\r\nERROR\r\n"}, {"@B1", ""}};
  Start(c);
  Host host(socket);
  ASSERT_TRUE(host.Open());
  EXPECT_EQ(host.At("@R0:0", "ERROR\r\n"), "\r\nERROR\r\n");
  host.Write("AT@B1\r");
  EXPECT_EQ(host.At(""), "\r\nOK\r\n") << "no answer to @B1 came before the next command's";
  EXPECT_EQ(host.At("@R0:1", "OK\r\n"), "\r\nPAGING CONFIG 0:1\r\n\r\nOK\r\n");
  EXPECT_EQ(sim->Record().atCommands, (std::vector<std::string>{"@R0:0", "@B1", "", "@R0:1"}));
}

TEST_F(SimFixture, ALateCarrierComesUpAfterConnect) {
  Fault late;
  std::string error;
  ASSERT_TRUE(handsetsim::ParseFault("dial:late-carrier:300", late, &error)) << error;
  EXPECT_EQ(late.action, Action::LateCarrier);
  SimConfig c;
  c.faults = {late};
  Start(c);
  Host host(socket);
  ASSERT_TRUE(host.Open());
  ASSERT_TRUE(host.port.Escape(qv::CommEscape::SetDtr));
  host.At("#X3");
  EXPECT_NE(host.At("DX0570000000", "CONNECT 64000\r\n").find("CONNECT"), std::string::npos);
  EXPECT_EQ(host.Status(), qv::MS_CTS_ON | qv::MS_DSR_ON) << "CONNECT has come, DCD not yet";
  EXPECT_TRUE(host.WaitStatus(qv::MS_CTS_ON | qv::MS_DSR_ON | qv::MS_RLSD_ON));
  EXPECT_TRUE(sim->Record().callUp);
}

TEST_F(SimFixture, RingsReportTheCallAndLeaveTheirTextsInTheRegisters) {
  Start();
  Host host(socket);
  ASSERT_TRUE(host.Open());
  ASSERT_TRUE(host.port.Escape(qv::CommEscape::SetDtr));
  EXPECT_EQ(host.At("#R"), "\r\n0\r\n\r\nOK\r\n");
  EXPECT_EQ(host.At("#ER1"), "\r\nOK\r\n");
  handsetsim::IncomingCall light;
  light.kind = handsetsim::CallKind::LightMail;
  light.protocol = 1;
  light.callerId = "0801";
  light.text = "breeze";
  sim->Ring(light);
  EXPECT_EQ(host.ReadUntil("NO CARRIER\r\n"), "\r\nRING\r\nPROTOCOL=1\r\nID=0801\r\nBreezemail=0\r\n\r\nNO CARRIER\r\n");
  EXPECT_EQ(host.At("#R"), "\r\n1\r\n\r\nOK\r\n");
  EXPECT_EQ(host.At("S211?"), "\r\nbreeze\r\n\r\nOK\r\n");
  EXPECT_EQ(host.At("#R"), "\r\n0\r\n\r\nOK\r\n");  // reading took it
  handsetsim::IncomingCall notice;
  notice.kind = handsetsim::CallKind::EMailNotice;
  notice.text = "2 new";
  sim->Ring(notice);
  EXPECT_NE(host.ReadUntil("NO CARRIER\r\n").find("E-mail_AUTORCV\r\n"), std::string::npos);
  EXPECT_EQ(host.At("S240?"), "\r\n2 new\r\n\r\nOK\r\n");
  // A direct mail connects: its far end speaks first.
  sim->Ring(handsetsim::IncomingCall{});
  EXPECT_NE(host.ReadUntil("CONNECT 64000\r\n").find("KmailDX=0\r\n"), std::string::npos);
  EXPECT_TRUE(host.WaitStatus(0xB0));
  EXPECT_EQ(host.ReadUntil(std::string_view("]\0", 2)), std::string("SOCKET_25_CONNECTION[1 SMAIL]\0", 30));
  EXPECT_EQ(sim->Record().rings, 3);
}

TEST_F(SimFixture, RingIndicatorFollowsTheRingWhenAsked) {
  SimConfig c;
  c.ringIndicatorMs = 300;
  Start(c);
  Host host(socket);
  ASSERT_TRUE(host.Open());
  EXPECT_TRUE(host.WaitStatus(0x30));
  handsetsim::IncomingCall other;
  other.kind = handsetsim::CallKind::Other;
  sim->Ring(other);
  EXPECT_TRUE(host.WaitStatus(0x70));  // RING beside CTS and DSR
  EXPECT_EQ(host.ReadUntil("NO CARRIER\r\n"), "\r\nRING\r\nPROTOCOL=3\r\nID=09012345678\r\n\r\nNO CARRIER\r\n");
  EXPECT_TRUE(host.WaitStatus(0x30));
}

TEST_F(SimFixture, SignupCentreKeepsTheCallAfterACloseLineWhenAsked) {
  SimConfig c;
  c.faults.push_back({Step::Close, Action::Silent, 1, -1});
  Start(c);
  Host host(socket);
  Connect(host, "9");
  host.Write(std::string("SOCKET_25_CONNECTION[1 SIGNUP]\0", 31));
  EXPECT_EQ(host.ReadUntil(std::string_view("]\0", 2)), std::string("READY[1 SIGNUP]\0", 16));
  // The first close is let pass; the second ends the call as always.
  host.Write(std::string("SOCKET_25_DISCONNECTION[0010]\0", 30));
  ASSERT_TRUE(sim->WaitUntil([](const auto& r) { return r.closeCodes.size() == 1; }, 2s));
  host.Write(std::string("SOCKET_25_DISCONNECTION[0000]\0", 30));
  EXPECT_NE(host.ReadUntil("NO CARRIER\r\n").find("NO CARRIER"), std::string::npos);
  EXPECT_FALSE(sim->Record().callUp);
  EXPECT_EQ(sim->Record().closeCodes, (std::vector<std::string>{"0010", "0000"}));
}

TEST_F(SimFixture, SecondHostIsTurnedAwayAndLinesFollowTheCall) {
  Start();
  Host first(socket), second(socket);
  Connect(first);
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.port.LastError(), EBUSY);
  EXPECT_TRUE(sim->WaitUntil([](const auto& r) { return r.refused == 1; }, 2s));
  // Dropping DTR hangs up: DCD goes, "NO CARRIER" follows.
  ASSERT_TRUE(first.port.Escape(qv::CommEscape::ClrDtr));
  EXPECT_NE(first.ReadUntil("NO CARRIER\r\n").find("NO CARRIER"), std::string::npos);
  EXPECT_TRUE(first.WaitStatus(0x30));
  EXPECT_EQ(sim->Record().callsEnded, 1);
}

TEST_F(SimFixture, CentreAnswersListGetPurgeAndRecordsMailsAndClose) {
  SimConfig c;
  c.mails.push_back({"ID1", "a@example.jp", "one", "2024/02/03 04:05:06", "Subject: one\r\n\r\nhello\r\n"});
  c.mails.push_back({"ID2", "b@example.jp", "two", "2024/02/03 04:05:07", "Subject: two\r\n"});
  Start(c);
  Host host(socket);
  Connect(host, "4");
  using std::string_literals::operator""s;
  host.Write("SOCKET_25_CONNECTION[1 XCHNG]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "READY[1 XCHNG]\0"s);
  host.Write("MAIL\0"s "To: x@example.jp\r\n\r\nbody\r\n.\r\n");
  EXPECT_EQ(host.ReadUntil("\0"s), "OK\0"s);
  host.Write("GETLIST[1]\0"s);
  EXPECT_EQ(host.ReadUntil(".\r\n"),
            "MAILLIST\0TOTAL\t2\r\n"
            "1\tID1\ta@example.jp\tone\t2024/02/03 04:05:06\t23\t0\r\n"
            "2\tID2\tb@example.jp\ttwo\t2024/02/03 04:05:07\t14\t0\r\nend\r\n.\r\n"s);
  host.Write("GET[ID1]\0"s);
  EXPECT_EQ(host.ReadUntil(".\r\n"), "MAIL\0Subject: one\r\n\r\nhello\r\n.\r\n"s);
  host.Write("GET[NOPE]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "NO_MORE\0"s);
  host.Write("PURGE[ID2]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "OK\0"s);
  host.Write("SOCKET_25_DISCONNECTION[0000]\0"s);
  EXPECT_TRUE(host.WaitStatus(0x30));
  auto r = sim->Record();
  ASSERT_EQ(r.accepted.size(), 1u);
  EXPECT_EQ(r.accepted[0], "To: x@example.jp\r\n\r\nbody\r\n");
  EXPECT_EQ(r.purged, std::vector<std::string>{"ID2"});
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
  EXPECT_EQ(sim->Mailbox().size(), 1u);
}

TEST_F(SimFixture, LongListsArePagedWithinTheirLimit) {
  SimConfig c;
  c.listPageBytes = 200;
  for (int i = 1; i <= 6; ++i) c.mails.push_back({"M" + std::to_string(i), "s@example.jp", "subject", "2024/01/01 00:00:00", "x\r\n"});
  Start(c);
  Host host(socket);
  Connect(host);
  using std::string_literals::operator""s;
  host.Write("SOCKET_25_CONNECTION[1 RECEIVE]\0"s);
  host.ReadUntil("\0"s);
  host.Write("GETLIST[1]\0"s);
  std::string page1 = host.ReadUntil(".\r\n");
  EXPECT_LE(page1.size() - 9 - 3, 200u);
  EXPECT_NE(page1.find("continue\r\n.\r\n"), std::string::npos);
  EXPECT_EQ(page1.find("\t" "M6" "\t"), std::string::npos);
  host.Write("GETLIST[4]\0"s);
  std::string page2 = host.ReadUntil(".\r\n");
  EXPECT_NE(page2.find("4\tM4\t"), std::string::npos);
  host.Write("GETLIST[7]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "NO_MORE\0"s);
}

TEST_F(SimFixture, FaultsStrikeAtTheirStepOnce) {
  SimConfig c;
  c.mails.push_back({"ID1", "a", "s", "d", "body\r\n"});
  c.faults.push_back({Step::Get, Action::CloseCode, 2, 123});
  c.faults.push_back({Step::Connect, Action::OutOfTurn, 1, -1});
  Start(c);
  Host host(socket);
  Connect(host);
  using std::string_literals::operator""s;
  host.Write("SOCKET_25_CONNECTION[1 RECEIVE]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "TURN\0"s);
  host.Write("GET[ID1]\0"s);
  EXPECT_EQ(host.ReadUntil(".\r\n"), "MAIL\0body\r\n.\r\n"s);
  host.Write("GET[ID1]\0"s);
  EXPECT_EQ(host.ReadUntil("\0"s), "SOCKET_25_DISCONNECTION[0123]\0"s);
  EXPECT_TRUE(host.WaitStatus(0x30));
}

TEST_F(SimFixture, UnpoweredHandsetKeepsItsLinesDown) {
  SimConfig c;
  c.powered = false;
  Start(c);
  Host host(socket);
  // The port opens only once the handset has told its lines.
  ASSERT_TRUE(host.Open());
  EXPECT_EQ(host.Status(), 0u);
  sim->SetPowered(true);
  EXPECT_TRUE(host.WaitStatus(0x30));
}

TEST_F(SimFixture, PacedOutputKeepsOrderWithStatus) {
  SimConfig c;
  c.pace = true;
  Start(c);
  Host host(socket);
  OpenAt(host, 115200);
  EXPECT_EQ(host.At("I3", "\r\nOK\r\n"), "\r\nPHS-SIM 1.0\r\n\r\nOK\r\n");
}

// One handset for sign-up and information mode: ATI9 answers by the
// preparation that came before it. Paced input reaches the store whole.
TEST_F(SimFixture, InformationModePreparationGetsItsOwnI9AndPacedInputArrivesWhole) {
  SimConfig c;
  c.pace = true;
  c.i9InfoText = "1";
  Start(c);
  Host host(socket);
  OpenAt(host, 9600);
  const std::pair<std::string, std::string> preparations[] = {
      {"E0", "0"},                             // the session's and sign-up's, one command each
      {"E0&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50", "1"},  // information mode's, in one
      {"&D2&C1", "1"},                         // settings alone leave it
      {"&FE0", "0"},                           // the sign-up module's
  };
  for (const auto& [command, i9] : preparations) {
    EXPECT_EQ(host.At(command), "\r\nOK\r\n") << command;
    EXPECT_EQ(host.At("I9"), "\r\n" + i9 + "\r\n\r\nOK\r\n") << command;
  }
  host.At("@S");
  host.Write("<8F>\r\n");
  EXPECT_EQ(host.ReadUntil(">\r\n"), "<F:8:0/200>\r\n");
  std::string data;
  for (int i = 0; i < 256; ++i) data += (i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i);
  host.Write("<1:8:" + data + "H>\r\n");
  EXPECT_EQ(host.ReadUntil(">\r\n"), "<1:8:1>\r\n");
  EXPECT_EQ(sim->Info().at(8), std::vector<std::string>{data});
}

TEST(SimScript, ReadsMailsBodiesFaultsAndReportsBadLines) {
  qvtest::TempDir dir;
  qvtest::WriteFile(dir / "box.txt",
                    "# a mailbox\n"
                    "own-number\t07011112222\n"
                    "mail\tA1\tfrom@example.jp\t件名\t2024/05/06 07:08:09\t300\n"
                    "mail\tA2\tx@example.jp\tHi\n"
                    "body\tSubject: Hi\n"
                    "body\t\n"
                    "body\tline\twith tab\n"
                    "fault\tget\tclose\t9\t2\n"
                    "i9-info\t3\n"
                    "info\t8\t001002\n"
                    "info\t8\t003\n");
  SimConfig c;
  std::string error;
  ASSERT_TRUE(handsetsim::LoadScript(dir / "box.txt", c, &error)) << error;
  EXPECT_EQ(c.ownNumber, "07011112222");
  ASSERT_EQ(c.mails.size(), 2u);
  EXPECT_EQ(c.mails[0].subject, qvtest::Sjis("件名"));
  EXPECT_EQ(c.mails[0].body.size(), 300u);
  EXPECT_EQ(c.mails[0].body.substr(c.mails[0].body.size() - 2), "\r\n");
  EXPECT_EQ(c.mails[1].body, "Subject: Hi\r\n\r\nline\twith tab\r\n");
  ASSERT_EQ(c.faults.size(), 1u);
  EXPECT_EQ(c.faults[0].step, Step::Get);
  EXPECT_EQ(c.faults[0].action, Action::CloseCode);
  EXPECT_EQ(c.faults[0].arg, 9);
  EXPECT_EQ(c.faults[0].occurrence, 2);
  EXPECT_EQ(c.i9InfoText, "3");
  EXPECT_EQ(c.info[8], (std::vector<std::string>{"001002", "003"}));

  qvtest::WriteFile(dir / "bad.txt", "mail\tA1\tonly-two\nfault\tnowhere\tdrop\n");
  SimConfig bad;
  EXPECT_FALSE(handsetsim::LoadScript(dir / "bad.txt", bad, &error));
  EXPECT_NE(error.find(":1:"), std::string::npos) << error;
  qvtest::WriteFile(dir / "badinfo.txt", "info\tx\t001\n");
  EXPECT_FALSE(handsetsim::LoadScript(dir / "badinfo.txt", bad, &error));

  Fault f;
  EXPECT_TRUE(handsetsim::ParseFault("ready:drop:300", f, &error));
  EXPECT_EQ(f.step, Step::Ready);
  EXPECT_EQ(f.arg, 300);
  EXPECT_FALSE(handsetsim::ParseFault("get:explode", f, &error));
  EXPECT_FALSE(handsetsim::ParseFault("get:drop:x", f, &error));
}

TEST(SimProgram, HelpDocumentsTheOptions) {
  std::string exe = HANDSET_SIM_PROGRAM;
  qvtest::TempDir dir;
  std::string out = (dir / "help.txt").string();
  ASSERT_EQ(std::system((exe + " --help > " + out).c_str()), 0);
  std::string help = qvtest::ReadFile(out);
  for (const char* word : {"--socket", "--port", "--mailbox", "--mail", "--fault", "--no-lines", "--pace", "--ring",
                           "--info", "--i9-info", "--signup-page", "SIGUSR2", "QUORVEL_PORTS"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
  EXPECT_NE(std::system((exe + " --bogus 2>/dev/null").c_str()), 0);
  EXPECT_NE(std::system((exe + " --ring phone 2>/dev/null").c_str()), 0);
}

TEST(SimScript, RingsAreReadFromTheirNotation) {
  handsetsim::IncomingCall call;
  ASSERT_TRUE(handsetsim::ParseRing("light-mail:0801:see you: at six", call, nullptr));
  EXPECT_EQ(call.kind, handsetsim::CallKind::LightMail);
  EXPECT_EQ(call.callerId, "0801");
  EXPECT_EQ(call.text, "see you: at six");
  ASSERT_TRUE(handsetsim::ParseRing("direct-mail", call, nullptr));
  EXPECT_EQ(call.callerId, "09012345678");
  EXPECT_EQ(call.protocol, 3);
  ASSERT_TRUE(handsetsim::ParseRing("direct-mail::hello", call, nullptr));
  EXPECT_EQ(call.callerId, "");
  EXPECT_EQ(call.body, "hello\r\n");
  std::string why;
  EXPECT_FALSE(handsetsim::ParseRing("fax:0801", call, &why));
  EXPECT_NE(why.find("fax"), std::string::npos);
}

}  // namespace

namespace {

// The information store's line protocol, line by line.
TEST(SimInfoStore, AnswersTheLineProtocolOverItsStore) {
  handsetsim::SimConfig config;
  // Frame lines in wire form: the flag byte (the ninth) marks a record's last line.
  const std::string frame = "013077082076088032000008", item = "032001002065066";
  config.info = {{4, {"001", "002"}}, {5, {"003"}}, {6, {frame + "004" + item, frame + "006" + item, frame + "002" + item}}};
  config.infoCapacity = 3;
  handsetsim::SimState state(config);
  handsetsim::InfoMode info(state);
  info.Begin();
  const std::pair<std::string, std::string> table[] = {
      {"<4F>", "<F:4:2/3>\r\n"},
      {"<5F>", "<F:5:1/3>\r\n"},
      // Reads walk the categories entered, in order, then end the kind.
      {"<2:4H>", "<1:00001h>\r\n"},
      {"<2:4H>", "<1:01002h>\r\n"},
      {"<2:4H>", "<1:02003h>\r\n"},
      {"<2:4H>", "<3:4h>\r\n"},
      {"<6F>", "<F:6:2/3>\r\n"},  // two records in three lines
      {"<1:4:009H>", "<1:4:3>\r\n"},
      {"<1:4:010H>", "ERROR\r\n"},  // full
      {"<3:5H>", "<3:5:0>\r\n"},
      {"<0H>", "OK\r\n"},
      {"<9:1H>", "<0b>\r\n"},
      {"hello", "<0b>\r\n"},
      {"<1:4H>", "<0b>\r\n"},
  };
  for (const auto& [line, answer] : table) EXPECT_EQ(info.Answer(line), answer) << line;
  const auto store = state.With([](handsetsim::SimConfig& c, handsetsim::SimRecord&) { return c.info; });
  EXPECT_EQ(store.at(4), (std::vector<std::string>{"001", "002", "009"}));
  EXPECT_TRUE(store.at(5).empty());
}

}  // namespace
