// The text of an instance file, read in large blocks from a descriptor
// (plain files and pipes alike).  Input that starts with the gzip magic bytes
// is decompressed while it is read; the readers see the same text either way,
// so line numbers are those of the decompressed text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct GzipState;  // the decompressor, only for gzip input

class InputText {
 public:
  explicit InputText(int fd);  // takes ownership of fd
  ~InputText();
  InputText(const InputText&) = delete;
  InputText& operator=(const InputText&) = delete;

  // Allocates the buffers and recognises compressed input.  False when memory
  // is short (failure() says so).
  bool init();

  // Makes at least `want` unread bytes available unless the input ends first.
  // The unread bytes are [p, end) and *end is always a NUL sentinel, so
  // scanners stop at the end of the buffer without a bounds test.
  bool ensure(size_t want) { return static_cast<size_t>(end - p) >= want || refill(want); }

  // Next byte without consuming it, or -1 at the end of the input.
  int peek() {
    if (p == end && !ensure(1)) return -1;
    return static_cast<unsigned char>(*p);
  }
  int get() {
    const int c = peek();
    if (c >= 0) {
      p++;
      if (c == '\n') line_++;
    }
    return c;
  }
  void skip_space() {
    for (int c; (c = peek()) >= 0 && is_space(c);) get();
  }
  // Skips blanks up to, not over, the end of the line.
  void skip_blanks() {
    for (int c; (c = peek()) >= 0 && is_blank(c);) p++;
  }
  // Consumes the rest of the line, its newline included.
  void skip_line() {
    for (int c; (c = get()) >= 0 && c != '\n';) {
    }
  }
  void count_line() { line_++; }
  long line() const { return line_; }

  // Reads a compressed input to its end, so that damage after the records
  // that were needed (and the final checksum) is still found.
  void drain();

  // True once reading failed (a read error, or damaged compressed data); the
  // input then looks ended.  failure() describes it in one line.
  bool failed() const { return !failure_.empty(); }
  const std::string& failure() const { return failure_; }
  // The failure is a lack of memory (buffer, decompressor), not the input's.
  bool memory_short() const { return memory_short_; }

  static bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  static bool is_blank(int c) { return c != '\n' && is_space(c); }

  static constexpr size_t kBlock = 1 << 20;
  const char* p = nullptr;  // next unread byte
  char* end = nullptr;      // end of the unread bytes (points at the sentinel)

 private:
  bool refill(size_t want);
  // Appends up to `room` bytes of text at `dst`; 0 at the end or on failure.
  size_t fill(char* dst, size_t room);
  size_t fill_gzip(char* dst, size_t room);
  size_t read_raw(char* dst, size_t room);

  int fd_;
  char* buf_ = nullptr;
  bool eof_ = false;
  bool raw_eof_ = false;
  long line_ = 1;
  std::string failure_;
  bool memory_short_ = false;
  std::unique_ptr<GzipState> gz_;
};

// The bytes of `s` as a message quotes them: printable ASCII as is, every
// other byte as \xHH.
std::string quote_bytes(const char* s, size_t len);
