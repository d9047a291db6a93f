// Throughput of the text primitives and the header and cookie helpers on small and large inputs.
// Each primitive runs on 1 KiB and 1 MiB of the same kind of text, so the ratio of the two times
// shows whether it scales linearly; FindText runs beside memmem on the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "text/text.h"
#include "web/cookies.h"
#include "web/headers.h"

namespace {

constexpr int kSmall = 1 << 10;
constexpr int kLarge = 1 << 20;

// Mixed ASCII and double-byte text of about `size` bytes, the same for every run.
Text MixedText(int size) {
  Text text;
  text.reserve(size + 2);
  std::uint32_t state = 12345;
  while (static_cast<int>(text.size()) < size) {
    state = state * 1103515245u + 12345u;
    const unsigned pick = (state >> 16) % 10;
    if (pick < 2) {
      text += static_cast<char>(0xB0 + pick);  // a Chinese character
      text += static_cast<char>(0xA1 + (state >> 8) % 90);
    } else if (pick == 2) {
      text += ' ';
    } else {
      text += static_cast<char>('a' + (state >> 4) % 26);
    }
  }
  text.resize(size);
  if (static_cast<unsigned char>(text.back()) >= 0x80)
    text.back() = 'z';
  return text;
}

// Starts with a letter that is common in the text, so the search stops often on a false start.
const Text kNeedle = "needle-found:";

Text TextWithNeedleAtEnd(int size) {
  return MixedText(size - TextLength(kNeedle)) + kNeedle;
}

Text HeaderBlock(int size) {
  Text block;
  int n = 0;
  while (TextLength(block) < size) {
    block += "x-custom-header-" + std::to_string(n++) + ": some value; with=parts\r\n";
  }
  return block;
}

Text CookieText(int items) {
  Text cookies;
  for (int i = 0; i < items; ++i) {
    if (i > 0)
      cookies += "; ";
    cookies += "name" + std::to_string(i % (items / 2 + 1)) + "=value" + std::to_string(i);
  }
  return cookies;
}

void BM_FindText(benchmark::State& state) {
  const Text text = TextWithNeedleAtEnd(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FindText(text, kNeedle));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// A pattern of letters only: every byte of it is common in the text, so the search stops often.
void BM_FindTextLettersOnly(benchmark::State& state) {
  const Text text = MixedText(static_cast<int>(state.range(0)) - 11) + "needlefound";
  for (auto _ : state)
    benchmark::DoNotOptimize(FindText(text, "needlefound"));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_MemmemLettersOnly(benchmark::State& state) {
  const Text text = MixedText(static_cast<int>(state.range(0)) - 11) + "needlefound";
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), "needlefound", 11));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_FindTextIgnoringCase(benchmark::State& state) {
  const Text text = TextWithNeedleAtEnd(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FindText(text, "needle-found:", 1, true));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Memmem(benchmark::State& state) {
  const Text text = TextWithNeedleAtEnd(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(memmem(text.data(), text.size(), kNeedle.data(), kNeedle.size()));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_ReplaceText(benchmark::State& state) {
  const Text text = MixedText(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(ReplaceText(text, "a", "<A>", false));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_SplitText(benchmark::State& state) {
  const Text text = MixedText(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(SplitText(text, " "));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Utf8ToText(benchmark::State& state) {
  Bytes utf8;
  while (static_cast<int>(utf8.size()) < state.range(0)) {
    for (unsigned char byte : std::string("ip \xE4\xB8\xAD\xE6\x96\x87 1.2.3.4 "))
      utf8.push_back(byte);
  }
  utf8.resize(state.range(0) - state.range(0) % 19);
  for (auto _ : state)
    benchmark::DoNotOptimize(Utf8ToText(utf8));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_NormalizeHeaderNames(benchmark::State& state) {
  const Text block = HeaderBlock(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(NormalizeHeaderNames(block));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_MergeCookies(benchmark::State& state) {
  const Text sent = CookieText(static_cast<int>(state.range(0)));
  const Text returned = CookieText(static_cast<int>(state.range(0)) / 2);
  for (auto _ : state) {
    Text s = sent;
    Text r = returned;
    benchmark::DoNotOptimize(MergeCookies(s, r));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_JoinDistinct(benchmark::State& state) {
  const Text cookies = CookieText(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(JoinDistinct(cookies, "; "));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_FindText)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_FindTextLettersOnly)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_MemmemLettersOnly)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_FindTextIgnoringCase)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_Memmem)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_ReplaceText)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_SplitText)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_Utf8ToText)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_NormalizeHeaderNames)->Arg(kSmall)->Arg(kLarge);
BENCHMARK(BM_MergeCookies)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JoinDistinct)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
