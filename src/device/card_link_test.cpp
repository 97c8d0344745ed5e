// The card as the driver's threads share it: a card that goes away or stops taking reports is
// noticed at once and never holds a caller longer than the write limit; the watcher looks for
// a lost card once a second and probes a present one that nobody reads.
#include "device/card_link.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "device/bus_messages.h"
#include "device/card_watcher.h"
#include "testing/fake_env.h"

namespace kavri {
namespace {

// A card whose writes can be made to hang, and whose reads say what they are told to.
struct CardScript {
  std::mutex mutex;
  std::condition_variable released;
  bool writes_hang = false;
  HidStatus read_status = HidStatus::timed_out;
  int writes = 0, reads = 0;
  bool closed = false;

  void release() {
    std::lock_guard lock(mutex);
    writes_hang = false;
    released.notify_all();
  }
  int write_count() {
    std::lock_guard lock(mutex);
    return writes;
  }
  bool is_closed() {
    std::lock_guard lock(mutex);
    return closed;
  }
};

class ScriptedCard final : public HidCard {
 public:
  explicit ScriptedCard(CardScript& script) : script_(script) {}
  ~ScriptedCard() override {
    std::lock_guard lock(script_.mutex);
    script_.closed = true;
  }
  HidStatus write_report(std::span<const std::uint8_t>) override {
    std::unique_lock lock(script_.mutex);
    ++script_.writes;
    script_.released.wait(lock, [this] { return !script_.writes_hang; });
    return HidStatus::ok;
  }
  HidStatus read_report(std::span<std::uint8_t> report, int) override {
    std::lock_guard lock(script_.mutex);
    ++script_.reads;
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    return script_.read_status;
  }

 private:
  CardScript& script_;
};

constexpr BusReport kReport = make_report(CMD_SET_POSITION_1, 12, 100);
constexpr std::chrono::milliseconds kLimit{50};

TEST(CardLink, AHangingWriteIsGivenUpAtTheLimitAndTheCardTakenAsGone) {
  CardScript script;
  CardLink link(std::make_unique<ScriptedCard>(script), kLimit);
  EXPECT_EQ(link.write_report(kReport), HidStatus::ok);

  script.writes_hang = true;
  EXPECT_EQ(link.write_report(kReport), HidStatus::gone);  // after the limit
  EXPECT_FALSE(link.present());
  EXPECT_EQ(link.write_report(kReport), HidStatus::gone);  // at once, never reaching the card
  BusReport answer;
  answer.fill(0xEE);
  EXPECT_EQ(link.read_report(answer, 100), HidStatus::gone);
  EXPECT_EQ(answer, BusReport{});
  EXPECT_EQ(script.write_count(), 2);

  link.close();  // does not wait for the hanging write
  EXPECT_FALSE(link.reopenable());
  EXPECT_FALSE(script.is_closed());
  script.release();
  for (int i = 0; i < 10000 && !link.reopenable(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(link.reopenable());
  EXPECT_TRUE(script.is_closed());  // closed by the writer's thread once the write ended

  CardScript again;
  link.attach(std::make_unique<ScriptedCard>(again));
  EXPECT_TRUE(link.present());
  EXPECT_EQ(link.write_report(kReport), HidStatus::ok);
}

TEST(CardLink, AReadThatFindsTheCardGoneIsNotedUntilTheCardIsAttachedAgain) {
  CardScript script;
  CardLink link(std::make_unique<ScriptedCard>(script), kLimit);
  BusReport answer{};
  EXPECT_EQ(link.read_report(answer, 0), HidStatus::timed_out);
  EXPECT_TRUE(link.present());
  script.read_status = HidStatus::gone;
  EXPECT_EQ(link.read_report(answer, 0), HidStatus::gone);
  EXPECT_FALSE(link.present());
  link.close();
  EXPECT_TRUE(link.reopenable());
  EXPECT_TRUE(script.is_closed());
}

// A layer that has a card to give only when told so, and counts the looks.
class ReturningLayer final : public HidLayer {
 public:
  explicit ReturningLayer(CardScript& script) : script_(script) {}
  std::unique_ptr<HidCard> open(std::uint16_t, std::uint16_t, int, int) override {
    ++looks;
    if (!card_back) return nullptr;
    return std::make_unique<ScriptedCard>(script_);
  }
  bool card_back = false;
  int looks = 0;

 private:
  CardScript& script_;
};

TEST(CardWatcher, ProbesAnUnreadCardAndLooksForALostOneOnceASecond) {
  FakeEnv env;
  CardScript script;
  ReturningLayer layer(script);
  CardLink link(std::make_unique<ScriptedCard>(script), kLimit);
  CardWatcher watcher(env, layer, link);
  // 3 ms passes, as the main loop makes them: one look a second.
  const auto passes = [&](int seconds, bool may_read) {
    int reopened = 0;
    for (int i = 0; i < seconds * 1000 / 3; ++i) {
      if (link.present()) {
        watcher.probe(may_read);
      } else if (watcher.look_for_card()) {
        ++reopened;
      }
      env.advance(Millis(3));
    }
    return reopened;
  };
  EXPECT_EQ(passes(5, false), 0);
  EXPECT_EQ(script.reads, 0);  // another thread reads the card: no probe
  EXPECT_EQ(passes(10, true), 0);
  EXPECT_EQ(script.reads, 10);

  script.read_status = HidStatus::gone;
  passes(1, true);  // the probe finds the card gone
  EXPECT_FALSE(link.present());
  link.close();
  EXPECT_EQ(passes(10, true), 0);
  EXPECT_EQ(layer.looks, 10);

  script.read_status = HidStatus::timed_out;
  layer.card_back = true;
  EXPECT_EQ(passes(2, true), 1);
  EXPECT_TRUE(link.present());
  EXPECT_EQ(link.write_report(kReport), HidStatus::ok);
}

}  // namespace
}  // namespace kavri
