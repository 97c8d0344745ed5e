#include "procedures/exploration.h"

#include <algorithm>

#include "base/number_text.h"
#include "base/rounding.h"
#include "bus_model/module_params.h"
#include "device/bus_messages.h"

namespace kavri {
namespace {

constexpr int PROGRESS_RANGE = 50;  // the bar runs 0-50 in each phase
constexpr int IDENTIFICATION_START_BAR = 20;
// The card queues its answers, so polling loses none; 1 ms keeps pace with a full-speed USB
// interrupt endpoint and lets every wait, the answer time-out included, run on Env's clock.
constexpr Millis ANSWER_POLL{1};
constexpr Millis DUMP_PAUSE{5};

constexpr const char* CARD_SILENT_TITLE = "Erreur de lecture";
constexpr const char* CARD_SILENT_TEXT = "La carte Kavri ne répond plus, relancer le driver";

enum class IdentState { IDENT_WAIT, IDENT_BEGIN, IDENT_REQUEST };

class ExplorationThread {
 public:
  ExplorationThread(ExplorationLinks links, std::stop_token stop)
      : links_(std::move(links)), stop_(std::move(stop)) {}

  void run() {
    while (!stop_.stop_requested()) {
      if (answer_[1] == RSP_EXPLORATION_DONE) {
        // Release: the main thread that sees the flag also sees the whole table and ratios.
        links_.exploration_done.store(true, std::memory_order_release);
        return;
      }
      if (!read_answer()) return;
      if (!act_on_answer()) return;
      if (state_ == IdentState::IDENT_BEGIN) begin_identification();
      if (state_ == IdentState::IDENT_REQUEST && !request_parameters()) return;
    }
  }

 private:
  // Waits for the next answer. False when the exploration must end: stop requested, card gone
  // (the main loop takes it from there), or card silent (then the fatal end has been
  // reported). The silence is measured in this thread's own waits, so that time another thread
  // spends (on a virtual clock that every sleep moves) does not count against the card.
  bool read_answer() {
    std::int64_t waited_ms = 0;
    for (;;) {
      switch (links_.card.read_report(answer_, 0)) {
        case HidStatus::ok:
          return true;
        case HidStatus::gone:
          return false;
        case HidStatus::timed_out:
        case HidStatus::failed:
          break;
      }
      if (waited_ms >= links_.answer_timeout_ms) return fatal(CARD_SILENT_TITLE, CARD_SILENT_TEXT);
      if (!links_.env.sleep_for(ANSWER_POLL, stop_)) return false;
      waited_ms += ANSWER_POLL.count();
    }
  }

  // False after a fatal answer.
  bool act_on_answer() {
    const std::uint8_t code = answer_[1];
    if (code >= RSP_PARAM_FIRST && code <= RSP_PARAM_LAST) {
      on_param(code);
      return true;
    }
    switch (code) {
      case RSP_SCAN_COMPLETE:
        return on_scan_complete();
      case RSP_MODULE_FOUND:
        on_module_found();
        return true;
      case RSP_MODULE_ERROR:
        return fatal("Erreur de lecture", "Le module " + format_decimal(answer_[2]) +
                                              " n'a pas répondu correctement, relancer le driver");
      case RSP_SCAN_STEP:
        advance_progress(1.0);
        return true;
      case RSP_EXPLORATION_DONE:
        on_exploration_done();
        return true;
      default:  // RSP_NOP and unknown codes
        return true;
    }
  }

  bool on_scan_complete() {
    const std::uint8_t count = links_.modules.module_count;
    if (count == 0) return fatal("Erreur", "Je ne trouve pas de module sur le Kavri");
    if (links_.events.scan_complete) links_.events.scan_complete(count);
    current_module_ = 0;
    state_ = IdentState::IDENT_BEGIN;
    links_.bus.send(CMD_RESET_MODULE, links_.modules.records[0].address, 0);
    return true;
  }

  void on_module_found() {
    const std::uint8_t count = links_.modules.module_count;
    if (count >= MAX_MODULES) return;  // the table is full: the module stays unknown
    ModuleRecord& record = links_.modules.records[count];
    record.address = answer_[2];
    record.gauges[0].type = answer_[3];
    links_.modules.module_count = static_cast<std::uint8_t>(count + 1);
    if (links_.events.module_found) links_.events.module_found(count, answer_[2], answer_[3]);
    advance_progress(1.0);
  }

  void on_param(std::uint8_t code) {
    const std::uint8_t index = answer_[2];
    const std::uint8_t count = links_.modules.module_count;
    if (index >= count) return;  // names no module found: nothing may be written
    apply_param_answer(links_.modules.records[index], code, answer_[3]);
    advance_progress(progress_step_);
    if (code != RSP_PARAM_LAST) return;
    if (current_module_ + 1 < count) {
      ++current_module_;
      state_ = IdentState::IDENT_REQUEST;
    } else {
      links_.bus.send(CMD_END_EXPLORATION, 0, 0);
    }
  }

  void on_exploration_done() {
    const std::uint8_t count = links_.modules.module_count;
    for (int i = 0; i < count; ++i) compute_ratio(links_.modules.records[i]);
    if (links_.events.identified) links_.events.identified();
  }

  void begin_identification() {
    state_ = IdentState::IDENT_REQUEST;
    progress_ = 0;
    progress_step_ = double{PROGRESS_RANGE} / (links_.modules.module_count * PARAM_COUNT);
    show_bar(IDENTIFICATION_START_BAR);
  }

  // False when a stop request cut the pause short.
  bool request_parameters() {
    state_ = IdentState::IDENT_WAIT;
    const std::uint8_t address = links_.modules.records[current_module_].address;
    links_.bus.send(CMD_RESET_MODULE, address, 0);
    links_.bus.send(CMD_DUMP_PARAMS, address, current_module_);
    return links_.env.sleep_for(DUMP_PAUSE, stop_);
  }

  void advance_progress(double amount) {
    progress_ += amount;
    show_bar(std::clamp<int>(round_to_i32(progress_), 0, PROGRESS_RANGE));
  }

  // Only changes are told: a dump of 51 modules would otherwise tell some 2,000 of them.
  void show_bar(int value) {
    if (value == shown_bar_) return;
    shown_bar_ = value;
    if (links_.events.progress) links_.events.progress(value);
  }

  bool fatal(std::string title, std::string text) {
    links_.fatal(std::move(title), std::move(text));
    return false;
  }

  ExplorationLinks links_;
  std::stop_token stop_;
  BusReport answer_{};  // the last answer read; all zero before the first read
  IdentState state_ = IdentState::IDENT_WAIT;
  std::uint8_t current_module_ = 0;
  double progress_ = 0;  // exploration_progress, on the bar's 0-50 scale
  double progress_step_ = 0;
  int shown_bar_ = 0;  // the progress window opens with its bar at 0
};

}  // namespace

void run_exploration(ExplorationLinks links, std::stop_token stop) {
  ExplorationThread(std::move(links), std::move(stop)).run();
}

}  // namespace kavri
