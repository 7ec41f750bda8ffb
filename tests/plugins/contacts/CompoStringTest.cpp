// TCompoString on its own: which control it watches and what counts as kana.
#include "plugins/contacts/CompoString.h"
#include "platform/Cp932.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <memory>

using qv::TCompoString;

namespace {

// An input method composing reading, converting it and committing kanji.
void Compose(QWidget* w, const char* reading, const char* kanji) {
  QInputMethodEvent preedit(QString::fromUtf8(reading), {});
  QApplication::sendEvent(w, &preedit);
  QInputMethodEvent converted(QString::fromUtf8(kanji), {});
  QApplication::sendEvent(w, &converted);
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8(kanji));
  QApplication::sendEvent(w, &commit);
}

}  // namespace

TEST(CompoString, ReportsOnlyForItsControlAndLetsGoOfIt) {
  QLineEdit a, b;
  TCompoString compo;
  std::vector<std::string> readings;
  QObject* sender = nullptr;
  compo.OnCompositionStr = [&](QObject* s, const std::string& value) {
    sender = s;
    readings.push_back(value);
  };
  compo.SetControl(&a);
  Compose(&a, "かな", "仮名");
  Compose(&b, "べつ", "別");
  compo.SetControl(&b);
  Compose(&a, "もと", "元");
  Compose(&b, "つぎ", "次");
  EXPECT_EQ(readings, (std::vector<std::string>{qv::Sjis("ｶﾅ"), qv::Sjis("ﾂｷﾞ")}));
  EXPECT_EQ(sender, &compo);
  // The control keeps its own handling: the commit reached it.
  EXPECT_EQ(b.text(), QString::fromUtf8("別次"));
  {
    auto gone = std::make_unique<QLineEdit>();
    compo.SetControl(gone.get());
  }
  EXPECT_EQ(compo.Control(), nullptr);
  compo.SetControl(nullptr);
}

TEST(CompoString, WhatCountsAsKana) {
  struct Case {
    const char* text;
    bool kana;
  } cases[] = {{"やまだ", true}, {"ヤマダ", true},  {"ﾔﾏﾀﾞ", true},   {"ヴァー", true}, {"やま だ", true},
               {"山田", false},  {"yamada", false}, {"やまだ1", false}, {"", false}};
  for (const Case& c : cases) EXPECT_EQ(TCompoString::IsAllKana(QString::fromUtf8(c.text)), c.kana) << c.text;
}
