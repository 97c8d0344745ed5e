// Answers of a hostile or broken card or module, 8 bytes each (bytes 1-8 of the report), then
// silence: the exploration ends within its time-outs, done or fatal, with a module table
// whose count fits and whose slots past it no answer wrote.
#include <algorithm>
#include <atomic>

#include "bus_model/module_params.h"
#include "fuzz/fuzz_target.h"
#include "procedures/exploration.h"
#include "testing/fake_env.h"

namespace kavri::fuzz {
namespace {

constexpr int ANSWER_TIMEOUT_MS = 20;
constexpr int DUMP_PAUSE_MS = 5;  // the exploration's pause after each parameter request

class ScriptedCard final : public HidCard {
 public:
  explicit ScriptedCard(Bytes answers) : answers_(answers) {}
  HidStatus write_report(std::span<const std::uint8_t>) override { return HidStatus::ok; }
  HidStatus read_report(std::span<std::uint8_t> report, int) override {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    if (answers_.empty()) return HidStatus::timed_out;
    const std::size_t n = std::min(answers_.size(), report.size() - 1);
    std::copy_n(answers_.begin(), n, report.begin() + 1);
    answers_ = answers_.subspan(n);
    ++answers_read;
    return HidStatus::ok;
  }
  int answers_read = 0;

 private:
  Bytes answers_;
};

}  // namespace

void fuzz_card_answers(Bytes input) {
  FakeEnv env;
  ScriptedCard card(input);
  BusSender bus(card);
  ModuleTable modules;
  std::atomic<bool> done{false};
  int fatals = 0;
  ExplorationLinks links{env, bus, card, modules, {}, done, {}, ANSWER_TIMEOUT_MS};
  links.fatal = [&](std::string, std::string) { ++fatals; };
  run_exploration(links, {});
  expect(done.load() != (fatals == 1), "the exploration ends done or fatal, once");
  expect(env.now_ms() <= std::int64_t{card.answers_read} * DUMP_PAUSE_MS + ANSWER_TIMEOUT_MS + 1,
         "the exploration ends within its time-outs");
  expect(modules.module_count <= MAX_MODULES, "the module count fits the table");
  for (int i = modules.module_count; i < MAX_MODULES; ++i) {
    for (const ParamInfo& info : param_infos()) {
      expect(read_param(modules.records[i], info.param) == 0, "a slot past the count is empty");
    }
    expect(modules.records[i].address == 0, "a slot past the count is empty");
  }
}

}  // namespace kavri::fuzz
