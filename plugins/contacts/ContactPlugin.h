#pragma once
// What each contact plug-in module tells the twelve exports it shares with
// the other: its display name and how its one window is made.
#include <memory>
#include <string>

namespace qv {

class TContactList;

struct ContactPluginInfo {
  std::string name;  // the display name, CP932
  TContactList* (*create)();
};
// Defined once in each module.
const ContactPluginInfo& ThisContactPlugin();

// The module's one window, made by PluginInitialize (null before and after).
TContactList* ContactForm();

}  // namespace qv
