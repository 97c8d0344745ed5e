// The card as the driver's threads share it, on the virtual card: a card that goes away or
// stops taking reports is noticed at once and never holds a caller longer than the write
// limit; the watcher looks for a lost card once a second and probes a present one that nobody
// reads.
#include "device/card_link.h"

#include <gtest/gtest.h>

#include "device/bus_messages.h"
#include "device/card_watcher.h"
#include "testing/eventually.h"
#include "testing/fake_env.h"
#include "testing/virtual_modules.h"
#include "virtual/lent_card_layer.h"

namespace kavri {
namespace {

constexpr BusReport kReport = make_report(CMD_SET_POSITION_1, 12, 100);
constexpr std::chrono::milliseconds kLimit{50};

struct LinkRig {
  FakeEnv env;
  VirtualCard card{{testing::module_at(12)}};
  LentCardLayer layer{&card};
  CardLink link{env, layer.open(MASTER_CARD), kLimit};
};

TEST(CardLink, AHangingWriteIsGivenUpAtTheLimitAndTheCardTakenAsGone) {
  LinkRig rig;
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::ok);

  rig.card.set_writes_block(true);
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::gone);  // after the limit
  EXPECT_FALSE(rig.link.present());
  EXPECT_EQ(rig.link.write_report(make_report(CMD_SET_POSITION_1, 12, 7)), HidStatus::gone);
  BusReport answer;
  answer.fill(0xEE);
  EXPECT_EQ(rig.link.read_report(answer, 100), HidStatus::gone);
  EXPECT_EQ(answer, BusReport{});

  rig.link.close();  // does not wait for the hanging write
  EXPECT_FALSE(rig.link.reopenable());
  rig.card.set_writes_block(false);
  EXPECT_TRUE(testing::eventually([&] { return rig.link.reopenable(); }));
  // The hanging write ended once let through; the write refused at once never reached it.
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{kReport, kReport}));

  rig.link.attach(rig.layer.open(MASTER_CARD));
  EXPECT_TRUE(rig.link.present());
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::ok);
}

// A system out of threads fails the one write that needed the writer's thread, and only it: the
// card is not taken as gone, and the next write starts the thread.
TEST(CardLink, AWriterThreadTheSystemRefusesFailsOnlyThatWrite) {
  LinkRig rig;
  rig.card.set_writes_block(true);  // every write needs the writer's thread
  rig.env.refuse_start(1);
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::failed);
  EXPECT_TRUE(rig.link.present());
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::gone);  // on the thread, hung to the limit
  rig.card.set_writes_block(false);
  rig.link.close();
  EXPECT_TRUE(testing::eventually([&] { return rig.link.reopenable(); }));
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{kReport}));
}

TEST(CardLink, AReadThatFindsTheCardGoneIsNotedUntilTheCardIsAttachedAgain) {
  LinkRig rig;
  BusReport answer{};
  EXPECT_EQ(rig.link.read_report(answer, 0), HidStatus::timed_out);
  EXPECT_TRUE(rig.link.present());
  rig.card.set_unplugged(true);
  EXPECT_EQ(rig.link.read_report(answer, 0), HidStatus::gone);
  EXPECT_FALSE(rig.link.present());
  rig.card.set_unplugged(false);
  EXPECT_EQ(rig.link.read_report(answer, 0), HidStatus::gone);  // until attached again
  rig.link.close();
  EXPECT_TRUE(rig.link.reopenable());
}

// A layer that counts its looks for the card.
class CountingLayer final : public HidLayer {
 public:
  explicit CountingLayer(HidLayer& inner) : inner_(inner) {}
  std::unique_ptr<HidCard> open(const HidSought& sought) override {
    ++looks;
    return inner_.open(sought);
  }
  int looks = 0;

 private:
  HidLayer& inner_;
};

TEST(CardWatcher, ProbesAnUnreadCardAndLooksForALostOneOnceASecond) {
  FakeEnv env;
  LinkRig rig;
  CountingLayer layer(rig.layer);
  CardWatcher watcher(env, layer, rig.link);
  // 3 ms passes, as the main loop makes them; an answer waits to be probed away.
  const auto passes = [&](int seconds, bool may_read) {
    int reopened = 0;
    for (int i = 0; i < seconds * 1000 / 3; ++i) {
      if (rig.link.present()) {
        watcher.probe(may_read);
      } else if (watcher.look_for_card()) {
        ++reopened;
      }
      env.advance(Millis(3));
    }
    return reopened;
  };
  const auto answers_waiting = [&](int count) {
    for (int i = 0; i < count; ++i) rig.card.inject_answer(make_report(RSP_NOP));
  };
  answers_waiting(20);
  EXPECT_EQ(passes(5, false), 0);  // another thread reads the card: no probe
  answers_waiting(1);
  BusReport answer{};
  int left = 0;
  EXPECT_EQ(passes(10, true), 0);  // one probe a second: ten of the 21 read
  while (rig.card.read_report(answer, 0) == HidStatus::ok) ++left;
  EXPECT_EQ(left, 11);

  rig.card.set_unplugged(true);
  passes(1, true);  // the probe finds the card gone
  EXPECT_FALSE(rig.link.present());
  rig.link.close();
  EXPECT_EQ(passes(10, true), 0);
  EXPECT_EQ(layer.looks, 10);

  rig.card.set_unplugged(false);
  EXPECT_EQ(passes(2, true), 1);
  EXPECT_TRUE(rig.link.present());
  EXPECT_EQ(rig.link.write_report(kReport), HidStatus::ok);
}

}  // namespace
}  // namespace kavri
