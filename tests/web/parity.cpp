// Random design sessions replayed on the window model, one line per session with a digest of the
// window afterwards. Built natively and for WebAssembly (run by node), the two must print the
// same lines: the calculation gives the same bits in both.
//
//   aph_parity COUNT [FIRST]   digests of sessions FIRST … FIRST+COUNT-1
//   aph_parity --script N      the session script of session N (to replay a difference)
//   aph_parity --window N      the window after session N, as aphcalc-cli replay prints it
//   aph_parity --math COUNT    digests of std::log and std::pow over COUNT random arguments
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "session/session.hpp"

namespace {

// SplitMix64: the same numbers on every platform, unlike the standard distributions.
class Numbers {
 public:
  explicit Numbers(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }
  // A number between low and high as an engineer types it: three to seven significant digits.
  std::string typed(double low, double high) {
    const double value = low + (high - low) * (static_cast<double>(next() >> 11) * 0x1.0p-53);
    int wholeDigits = 1;
    for (double power = 10; power <= value; power *= 10) ++wholeDigits;
    const int significant = 3 + below(5);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f",
                  significant > wholeDigits ? significant - wholeDigits : 0, value);
    return text;
  }

 private:
  std::uint64_t state_;
};

void set(std::string& out, const char* field, const std::string& text) {
  out += std::string("{\"set\": {\"") + field + "\": \"" + text + "\"}},\n";
}

void click(std::string& out, const char* control, const std::string& answer = "") {
  out += std::string("{\"click\": \"") + control + "\"" + answer + "},\n";
}

// A design near the window's defaults, rated as an engineer would: flows, temperatures,
// properties typed or left to the tables, plate pack and channels, tuning factors, one of the
// three arrangements, then "热力计算", sometimes again after a change.
std::string sessionScript(std::uint64_t number) {
  Numbers n(number);
  std::string s = "{\"actions\": [\n";
  set(s, "Text8", n.typed(1e5, 6e5));
  set(s, "Text1", n.typed(1e5, 6e5));
  set(s, "Text61", n.typed(1e5, 6e5));
  set(s, "Text62", n.typed(1e5, 6e5));
  set(s, "Text9", n.typed(250, 450));
  set(s, "Text10", n.typed(110, 200));
  set(s, "Text2", n.typed(0, 60));
  set(s, "Text3", n.typed(140, 300));
  if (n.below(2)) {
    for (const char* f :
         {"Text11", "Text12", "Text14", "Text13", "Text4", "Text5", "Text7", "Text6"})
      set(s, f, "");
  } else {
    set(s, "Text11", n.typed(0.6, 1.0));
    set(s, "Text12", n.typed(1.0, 1.1));
    set(s, "Text14", n.typed(0.03, 0.05));
    set(s, "Text13", n.typed(20, 30));
    set(s, "Text4", n.typed(0.9, 1.2));
    set(s, "Text5", n.typed(1.0, 1.02));
    set(s, "Text7", n.typed(0.025, 0.035));
    set(s, "Text6", n.typed(18, 25));
  }
  set(s, "Text18", std::to_string(20 + n.below(280)));
  set(s, "Combo1", n.typed(0.5, 2));
  set(s, "Combo2", n.typed(14, 20));
  set(s, "Text16", n.typed(1, 9));
  set(s, "Text33", n.typed(1, 5));
  set(s, "Text34", n.typed(1, 9));
  set(s, "Text26", n.typed(1, 5));
  set(s, "Combo3", n.below(5) ? std::to_string(5 + n.below(11)) : n.typed(5, 15));
  set(s, "Combo4", n.below(5) ? std::to_string(5 + n.below(16)) : n.typed(5, 20));
  // One draw per statement: the order in which the operands of one expression are evaluated is
  // not fixed, and the two builds must draw the same numbers in the same order.
  if (n.below(3) == 0) {
    std::string answer;
    for (const char* field : {"Text37", "Text38", "Text39", "Text40"}) {
      const std::string factor = n.typed(0.5, 2);
      answer += std::string(answer.empty() ? "" : ", ") + "\"" + field + "\": \"" + factor + "\"";
    }
    click(s, "Command1", ", \"tuning\": {" + answer + "}");
  }
  click(s, n.below(4) ? "Option4" : "Option5");
  switch (n.below(3)) {
    case 0:
      click(s, "Option1");
      break;
    case 1:
      click(s, "Option2");
      break;
    default: {
      const int flueGasPasses = 1 + n.below(4);
      const int airPasses = 1 + n.below(4);
      click(s, "Option3",
            ", \"passes\": {\"Text33\": \"" + std::to_string(flueGasPasses) + "\", \"Text34\": \"" +
                std::to_string(airPasses) + "\"}");
    }
  }
  click(s, "Command3");
  if (n.below(2)) {
    set(s, "Text10", n.typed(110, 200));
    set(s, "Text18", std::to_string(20 + n.below(280)));
    click(s, "Command3");
  }
  s.resize(s.size() - 2);  // the last ",\n"
  s += "\n]}\n";
  return s;
}

std::string windowAfter(std::uint64_t number) {
  const aph::session::Script script = aph::session::parseScript(sessionScript(number));
  aph::MainWindow window;
  aph::session::ScriptedUserInterface ui;
  aph::session::replay(window, script, ui);
  return aph::session::snapshot(window, ui.messages).dump(2);
}

std::uint64_t digest(const std::string& text) {  // FNV-1a
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ULL;
  return h;
}

// log and pow over the arguments the formulas give them, and over any double.
void mathDigests(std::uint64_t count) {
  Numbers n(12345);
  std::uint64_t logDigest = 0xCBF29CE484222325ULL, powDigest = logDigest;
  auto mix = [](std::uint64_t& h, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (v != v) bits = 0x7FF8000000000000ULL;  // any NaN
    h = (h ^ bits) * 0x100000001B3ULL;
  };
  auto any = [&n] {
    const std::uint64_t bits = n.next();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  };
  for (std::uint64_t k = 0; k < count; ++k) {
    const double x = k % 2 ? any() : std::atof(n.typed(0.01, 1e6).c_str());
    const double y = k % 2 ? any() : std::atof(n.typed(-1, 2).c_str());
    mix(logDigest, std::log(x));
    mix(powDigest, std::pow(x, y));
  }
  std::printf("log %016llx\npow %016llx\n", static_cast<unsigned long long>(logDigest),
              static_cast<unsigned long long>(powDigest));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::strcmp(argv[1], "--script") == 0) {
      std::fputs(sessionScript(std::strtoull(argv[2], nullptr, 10)).c_str(), stdout);
      return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--math") == 0) {
      mathDigests(std::strtoull(argv[2], nullptr, 10));
      return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0) {
      std::puts(windowAfter(std::strtoull(argv[2], nullptr, 10)).c_str());
      return 0;
    }
    if (argc < 2 || argc > 3) {
      std::fputs("usage: aph_parity COUNT [FIRST] | --script N | --window N | --math COUNT\n",
                 stderr);
      return 2;
    }
    const std::uint64_t count = std::strtoull(argv[1], nullptr, 10);
    const std::uint64_t first = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 0;
    for (std::uint64_t k = first; k < first + count; ++k)
      std::printf("%llu %016llx\n", static_cast<unsigned long long>(k),
                  static_cast<unsigned long long>(digest(windowAfter(k))));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "aph_parity: %s\n", e.what());
    return 1;
  }
}
