#pragma once
// The handset's information mode: after "AT@S" it takes lines of the form
// "<...>" CR LF over its store of records per category until "+++".
//   "<nF>"          enter category n: "<F:n:records/capacity>" (a record ends
//                   with a frame line whose flag marks its last line)
//   "<1:n:DATAH>"   write a line to category n: "<1:n:lines>", "ERROR" when
//                   it holds capacity lines
//   "<2:nH>"        read the next record of the categories entered:
//                   "<1:ii" + DATA + "h>", then "<3:nh>" at the end
//   "<3:nH>"        delete category n: "<3:n:0>"
//   "<0H>"          leave: "OK"
// Anything else is answered with the status line "<0b>".
#include "SimState.h"

#include <string>
#include <vector>

namespace handsetsim {

class InfoMode {
 public:
  explicit InfoMode(SimState& state) : state_(state) {}
  // A new stay in information mode: nothing entered, nothing read.
  void Begin();
  // The answer to one line (without its CR LF), CR LF included.
  std::string Answer(const std::string& line);

 private:
  SimState& state_;
  std::vector<int> entered_;
  size_t readCategory_ = 0;
  size_t readIndex_ = 0;
  int reads_ = 0;
};

}  // namespace handsetsim
