#include "virtual/bench_options.h"

namespace kavri {

namespace {

constexpr std::int64_t MAX_SECONDS = 100LL * 366 * 24 * 3600;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Where the option named `name` keeps its seconds; null when it takes none.
std::optional<std::int64_t>* seconds_option(BenchOptions& options, std::string_view name) {
  if (name == "--run-for") return &options.run_for_ms;
  if (name == "--unplug-at") return &options.unplug_at_ms;
  if (name == "--replug-at") return &options.replug_at_ms;
  return nullptr;
}

}  // namespace

std::optional<std::int64_t> parse_seconds_as_ms(std::string_view text) {
  std::int64_t seconds = 0;
  std::size_t i = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    seconds = seconds * 10 + (text[i] - '0');
    if (seconds > MAX_SECONDS) return std::nullopt;
  }
  const bool whole_digits = i > 0;
  std::int64_t ms = 0;
  bool fraction_digits = false;
  if (i < text.size() && text[i] == '.') {
    std::int64_t scale = 100;
    for (++i; i < text.size() && is_digit(text[i]); ++i, scale /= 10) {
      ms += (text[i] - '0') * scale;
      fraction_digits = true;
    }
  }
  if (i != text.size() || !(whole_digits || fraction_digits)) return std::nullopt;
  return seconds * 1000 + ms;
}

std::optional<BenchOptions> parse_bench_options(std::span<const std::string_view> args) {
  BenchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--no-sim") {
      options.no_sim = true;
    } else if (arg == "--modules" && has_value) {
      options.modules_file = std::string(args[++i]);
    } else if (arg == "--trace" && has_value) {
      options.trace_file = std::string(args[++i]);
    } else if ((arg == "--link" || arg == "--key-file") && has_value) {
      (arg == "--link" ? options.link : options.key_file) = std::string(args[++i]);
    } else if (std::optional<std::int64_t>* ms = seconds_option(options, arg); ms && has_value) {
      *ms = parse_seconds_as_ms(args[++i]);
      if (!*ms) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (options.link.has_value() != options.key_file.has_value()) return std::nullopt;
  if (options.link) options.no_sim = true;  // the simulator is the relay's
  return options;
}

}  // namespace kavri
