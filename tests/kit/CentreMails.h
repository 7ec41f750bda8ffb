#pragma once
// A mail centre filled as the benchmarks fill it: count mails whose senders,
// subjects and dates come from their number and whose bodies have the sizes
// sizeOf draws, each body ending in a whole line break (so that it is stored
// as it comes), the line paced to the host's speed.
#include "Simulator.h"
#include "platform/Cp932.h"

#include <functional>
#include <random>
#include <string>

namespace qvtest {

inline handsetsim::SimConfig CentreWithMails(int count, const std::function<size_t(std::mt19937&)>& sizeOf,
                                             uint32_t seed = 20240301) {
  auto twoDigits = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  std::mt19937 random(seed);
  handsetsim::SimConfig c;
  c.pace = true;
  for (int i = 1; i <= count; ++i) {
    handsetsim::SimMail m{"M" + std::to_string(100000 + i), "from" + std::to_string(i) + "@example.jp",
                          qv::Sjis("件名 ") + std::to_string(i),
                          "2024/" + twoDigits(1 + i % 12) + "/" + twoDigits(1 + i % 28) + " 10:00:00", ""};
    for (size_t size = sizeOf(random); !m.body.ends_with("\r\n"); ++size) m.body = handsetsim::MakeBody(m, size);
    c.mails.push_back(m);
  }
  return c;
}

}  // namespace qvtest
