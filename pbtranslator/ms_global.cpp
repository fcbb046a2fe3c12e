// Formatted strings, progress output and string splitting of the
// pseudo-Boolean translator.
#include "pbtranslator/ms_global.hpp"

#include <cstring>

const int prime_twins[25] = {
    31,       73,        151,       313,      643,      1291,     2593,
    5233,     10501,     21013,     42073,    84181,    168451,   337219,
    674701,   1349473,   2699299,   5398891,  10798093, 21596719, 43193641,
    86387383, 172775299, 345550609, 691101253};

int opt_verbosity = 1;

void pbt_out_of_memory() {
  std::fprintf(stderr,
               "ERROR! Out of memory in the pseudo-Boolean translator.\n");
  std::exit(1);
}

char *vnsprintf(const char *format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int len = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (len < 0)
    len = 0;
  char *text = static_cast<char *>(std::malloc((size_t)len + 1));
  if (text == nullptr)
    pbt_out_of_memory();
  std::vsnprintf(text, (size_t)len + 1, format, args);
  return text;
}

char *nsprintf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  char *text = vnsprintf(format, args);
  va_end(args);
  return text;
}

namespace {
bool report_line_start = true; // next character begins a line
bool report_bold = false;      // bold output switched on
} // namespace

void reportf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  char *text = vnsprintf(format, args);
  va_end(args);
  for (const char *p = text; *p != '\0'; p++) {
    if (*p == '\b') {
      report_bold = !report_bold;
      std::fputs(report_bold ? "\033[1m" : "\033[0m", stdout);
      continue;
    }
    if (report_line_start)
      std::fputs("c ", stdout);
    std::fputc(*p, stdout);
    report_line_start = *p == '\n' || *p == '\r';
  }
  std::fflush(stdout);
  xfree(text);
}

void splitString(const char *str, const char *delims, vec<char *> &out) {
  const char *p = str;
  for (;;) {
    while (*p != '\0' && std::strchr(delims, *p) != nullptr)
      p++;
    if (*p == '\0')
      return;
    const char *start = p;
    while (*p != '\0' && std::strchr(delims, *p) == nullptr)
      p++;
    size_t n = (size_t)(p - start);
    char *word = static_cast<char *>(std::malloc(n + 1));
    if (word == nullptr)
      pbt_out_of_memory();
    std::memcpy(word, start, n);
    word[n] = '\0';
    out.push(word);
  }
}
