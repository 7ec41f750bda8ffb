// The scan of a MIDI file before conversion: checks its shape and gathers
// what the ringtone maker shows and what the conversion needs.
#include "converter/ByteIo.h"
#include "converter/Converter.h"
#include "converter/SmfReader.h"

#include <cstring>

namespace tcv {
namespace {

// How a channel's initial program came about.
enum : uint8_t {
  kUnset = kNone,
  kImplicit = 1,        // a note came first: program 0
  kControllerSeen = 2,  // only controllers or pitch bend so far
  kProgramSet = 3,      // a program change came first
};

const uint8_t kMidiHeader[12] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};

void TakeChannelEvent(ScanState& s, const SmfEvent& ev) {
  const int c = ev.status & 0x0F;
  switch (ev.status & 0xF0) {
    case 0x80:
    case 0x90:
      if (s.programState[c] == kUnset || s.programState[c] == kControllerSeen) {
        s.initialProgram[c] = 0;
        s.programState[c] = kImplicit;
      }
      break;
    case 0xB0:
    case 0xE0:
      if (s.programState[c] == kUnset) s.programState[c] = kControllerSeen;
      break;
    case 0xC0: {
      const uint8_t p = ev.data[0];
      if (s.programState[c] == kUnset || s.programState[c] == kControllerSeen) {
        s.initialProgram[c] = p;
        s.programState[c] = kProgramSet;
      }
      s.usedVoice[p] = static_cast<uint8_t>(c);
      break;
    }
    default:  // key and channel pressure
      break;
  }
}

}  // namespace

bool Converter::ScanSmf(const uint8_t* data, size_t size) {
  std::memset(scan_.initialProgram, kNone, sizeof scan_.initialProgram);
  std::memset(scan_.programState, kUnset, sizeof scan_.programState);
  std::memset(scan_.usedVoice, 0, sizeof scan_.usedVoice);
  std::memset(scan_.keySignature, kNone, sizeof scan_.keySignature);

  if (!data || size < kSmfHeaderSize) return false;
  if (std::memcmp(data, kMidiHeader, sizeof kMidiHeader) != 0) return false;
  if (std::memcmp(data + 14, "MTrk", 4) != 0) return false;

  ScanState work = scan_;
  bool tookTitle = false, tookCopyright = false, tookKey = false, tookTime = false, tookTempo = false;
  SmfTrackReader reader(SmfTrackEvents(data, size));
  for (bool walking = true; walking;) {
    SmfEvent ev;
    switch (reader.Next(ev)) {
      case SmfRead::End:
      case SmfRead::BadDelta:
        walking = false;
        continue;
      case SmfRead::DeltaAtEnd:
      case SmfRead::Truncated:
        return false;
      case SmfRead::Event:
        break;
    }
    if (ev.kind == SmfEvent::Kind::Channel) {
      TakeChannelEvent(work, ev);
      continue;
    }
    if (ev.kind != SmfEvent::Kind::Meta) continue;
    const char* text = reinterpret_cast<const char*>(ev.payload);
    // Signatures and tempo come from their first occurrence. One with fewer
    // bytes than its kind has is a damaged file, not one to take a later
    // occurrence from.
    bool damaged = false;
    auto takeFixed = [&ev, &damaged](bool& took, uint8_t* field, size_t n) {
      if (took) return;
      took = true;
      if (ev.payloadLength < n) damaged = true;
      else std::memcpy(field, ev.payload, n);
    };
    switch (ev.metaType) {
      case 0x03:
        if (!tookTitle) CopyText(work.title, kTitleMax, text, ev.payloadLength);
        tookTitle = true;
        break;
      case 0x02:
        if (!tookCopyright) CopyText(work.copyright, kTextMax, text, ev.payloadLength);
        tookCopyright = true;
        break;
      case 0x59:
        takeFixed(tookKey, work.keySignature, 2);
        break;
      case 0x58:
        takeFixed(tookTime, work.timeSignature, 4);
        break;
      case 0x51:
        takeFixed(tookTempo, work.tempo, 3);
        break;
      case 0x2F:
        walking = false;
        break;
      default:
        break;
    }
    if (damaged) return false;
  }
  scan_ = work;

  const uint16_t division = ReadBE16(data + 12);
  info_.smpte = (division & 0x8000) ? 1 : 0;
  info_.division = division & 0x7FFF;
  info_.initialised = 0;
  std::memcpy(info_.copyright, scan_.copyright, sizeof info_.copyright);
  std::memcpy(info_.keySignature, scan_.keySignature, sizeof info_.keySignature);
  std::memcpy(info_.title, scan_.title, sizeof info_.title);
  for (int c = 0; c < 16; ++c) {
    const bool controllerOnly = scan_.programState[c] == kControllerSeen;
    info_.initialProgram[c] = controllerOnly ? 0 : scan_.initialProgram[c];
    info_.programSet[c] = scan_.programState[c] == kProgramSet ? 1 : 0;
  }
  std::memcpy(info_.timeSignature, scan_.timeSignature, sizeof info_.timeSignature);
  std::memcpy(info_.tempo, scan_.tempo, sizeof info_.tempo);
  return true;
}

}  // namespace tcv
