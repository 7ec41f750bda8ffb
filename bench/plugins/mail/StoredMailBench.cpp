// The stored mail form at its largest: writing and reading an e-mail at the
// 511,999-byte limit, a received mail of many parts, and a header of 100 KB.
#include "core/data/StoredMail.h"
#include "plugins/mail/compose/MailPictures.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Bytes(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + 7) & 255);
  return s;
}

qv::AttachmentList LargeAttachments() {
  qv::AttachmentList list;
  for (int i = 0; i < 3; ++i) {
    qv::MailAttachment a;
    a.name = "part" + std::to_string(i) + ".dat";
    a.bytes = Bytes(110000);
    list.Insert(std::move(a));
  }
  qv::MailAttachment text;
  text.name = "notes.txt";
  for (int i = 0; i < 500; ++i) text.bytes += "a line of text in the attachment " + std::to_string(i) + "\r\n";
  list.Insert(std::move(text));
  return list;
}

qv::OutgoingMail LargeMail(const qv::AttachmentList& list) {
  qv::OutgoingMail mail;
  mail.to = "a@example.jp,b@example.jp";
  mail.subject = "large";
  mail.body = std::string(1500, 'b');
  mail.attachments = &list;
  return mail;
}

void BM_EncodeLargestEMail(benchmark::State& state) {
  const qv::AttachmentList list = LargeAttachments();
  const qv::OutgoingMail mail = LargeMail(list);
  std::string text;
  for (auto _ : state) {
    if (qv::EncodeStoredMail(mail, text) != 0) state.SkipWithError("not encoded");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_EncodeLargestEMail);

void BM_ParseLargestEMail(benchmark::State& state) {
  const qv::AttachmentList list = LargeAttachments();
  std::string text;
  qv::EncodeStoredMail(LargeMail(list), text);
  for (auto _ : state) {
    qv::StoredMailFields fields;
    qv::AttachmentList back;
    qv::ParseStoredMail(text, fields, &back, nullptr);
    benchmark::DoNotOptimize(back.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseLargestEMail);

void BM_ParseManyParts(benchmark::State& state) {
  std::string text = "Content-Type: Multipart/Mixed;Boundary=\"b\"\r\n\r\n--b\r\nContent-Type: Text/Plain\r\n\r\nx\r\n";
  for (int i = 0; i < state.range(0); ++i)
    text += "--b\r\nContent-Type: Text/Plain;Name=\"p" + std::to_string(i) + ".txt\"\r\n\r\nline\r\n";
  text += "--b--\r\n";
  for (auto _ : state) {
    qv::StoredMailFields fields;
    qv::AttachmentList back;
    qv::ParseStoredMail(text, fields, &back, nullptr);
    benchmark::DoNotOptimize(back.Count());
  }
}
BENCHMARK(BM_ParseManyParts)->Arg(50)->Arg(500);

void BM_ParseHugeHeader(benchmark::State& state) {
  std::string continued;
  for (int i = 0; i < 25 * 1024; ++i) continued += "\r\n\tab";
  const std::string text = "Subject: " + std::string(100 * 1024, 'S') + "\r\nX-Long: x" + continued +
                           "\r\nContent-Type: Text/Plain\r\n\r\nbody\r\n";
  for (auto _ : state) {
    qv::StoredMailFields fields;
    qv::ParseStoredMail(text, fields, nullptr, nullptr);
    benchmark::DoNotOptimize(fields.subject.size());
  }
}
BENCHMARK(BM_ParseHugeHeader);

}  // namespace

BENCHMARK_MAIN();
