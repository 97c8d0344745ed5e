#include "virtual/tracing_card.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "testing/fake_env.h"
#include "testing/files.h"
#include "virtual/virtual_card.h"

namespace kavri {
namespace {

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string trace_path(const char* name) {
  static const ScratchDirectory dir;
  return dir.file(name);
}

TEST(TracingCard, OneLinePerReportWrittenOrReadWithItsTime) {
  const std::string path = trace_path("kavri_trace_lines.txt");
  FakeEnv env;
  VirtualModule module;
  module.address = 12;
  module.analog_value = 0x03E8;
  VirtualCard card({module});
  {
    auto tracing = TracingCard::open(card, env, path);
    ASSERT_NE(tracing, nullptr);
    env.advance(Millis(1003));
    EXPECT_EQ(tracing->write_report(BusReport{0, CMD_RESET_MODULE, 12, 0, 0, 0, 0, 0, 0}),
              HidStatus::ok);
    env.advance(Millis(2));
    tracing->write_report(BusReport{0, CMD_READ_ANALOG, 12, 0, 0, 0, 0, 0, 0});
    BusReport answer{};
    EXPECT_EQ(tracing->read_report(answer, 100), HidStatus::ok);
    EXPECT_EQ(answer, (BusReport{0, 0, 0, 0, 0, ANALOG_MARK, 12, 0xE8, 0x03}));
    EXPECT_EQ(tracing->read_report(answer, 0), HidStatus::timed_out);  // not traced
    card.set_unplugged(true);
    EXPECT_EQ(tracing->write_report(BusReport{0, CMD_EXPLORE}), HidStatus::gone);  // not traced
  }
  EXPECT_EQ(lines_of(path), (std::vector<std::string>{
                                "1003 > 00 07 0C 00 00 00 00 00 00",
                                "1005 > 00 05 0C 00 00 00 00 00 00",
                                "1005 < 00 00 00 00 00 02 0C E8 03",
                            }));
}

TEST(TracingCard, ConcurrentSendersGiveWholeLines) {
  const std::string path = trace_path("kavri_trace_threads.txt");
  FakeEnv env;
  VirtualCard card({});
  constexpr int kThreads = 3, kEach = 300;
  {
    auto tracing = TracingCard::open(card, env, path);
    ASSERT_NE(tracing, nullptr);
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&tracing, t] {
        for (int i = 0; i < kEach; ++i) {
          const auto data = static_cast<std::uint8_t>(i);
          tracing->write_report(
              BusReport{0, CMD_SET_POSITION_1, static_cast<std::uint8_t>(t), data, 0, 0, 0, 0, 0});
        }
      });
    }
  }
  const auto lines = lines_of(path);
  ASSERT_EQ(lines.size(), std::size_t{kThreads * kEach});
  const auto upper_hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  for (const auto& line : lines) {
    // "0 > 00 03 0T DD 00 00 00 00 00": thread T's report with its data byte DD, whole.
    ASSERT_EQ(line.size(), 30u) << line;
    ASSERT_EQ(line.substr(0, 11), "0 > 00 03 0") << line;
    ASSERT_TRUE(line[11] >= '0' && line[11] < '0' + kThreads) << line;
    ASSERT_TRUE(line[12] == ' ' && upper_hex(line[13]) && upper_hex(line[14])) << line;
    ASSERT_EQ(line.substr(15), " 00 00 00 00 00") << line;
  }
}

TEST(TracingCard, AnUncreatableFileOrAFifoIsRefused) {
  FakeEnv env;
  VirtualCard card({});
  EXPECT_EQ(TracingCard::open(card, env, "/nonexistent-dir/trace.txt"), nullptr);
#ifndef _WIN32  // Windows has no named pipes among its files
  const std::string fifo = trace_path("kavri_trace_fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(TracingCard::open(card, env, fifo), nullptr);  // at once: no reader is waited for
#endif
}

// A stream whose every write fails, as on a full disk.
class FullDiskStream : public std::ostream {
 public:
  FullDiskStream() : std::ostream(&buffer_) {}

 private:
  struct FailingBuffer : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
  } buffer_;
};

TEST(TracingCard, ALineThatCannotBeWrittenIsToldOnceAndTheCardGoesOn) {
  FakeEnv env;
  VirtualCard card({});
  int told = 0;
  TracingCard tracing(card, env, std::make_unique<FullDiskStream>(), [&told] { ++told; });
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(tracing.write_report(BusReport{0, CMD_EXPLORE}), HidStatus::ok);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(card.received().size(), 3u);
}

}  // namespace
}  // namespace kavri
