#include "readers/input.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

struct GzipState {
  z_stream z{};
  bool ready = false;      // inflateInit2 succeeded
  bool in_member = false;  // inside a member: its end has not been seen yet
  unsigned char in[InputText::kBlock];
};

InputText::InputText(int fd) : fd_(fd) {}

InputText::~InputText() {
  if (gz_ && gz_->ready) inflateEnd(&gz_->z);
  std::free(buf_);
  if (fd_ >= 0) ::close(fd_);
}

bool InputText::init() {
  buf_ = static_cast<char*>(std::malloc(kBlock + 1));
  if (!buf_) {
    failure_ = "cannot allocate the read buffer";
    memory_short_ = true;
    return false;
  }
  p = end = buf_;
  *end = '\0';
  // The gzip magic bytes; a text file never starts with them (0x8b is not
  // a character of any text the readers accept).
  if (!ensure(2) || static_cast<unsigned char>(p[0]) != 0x1f || static_cast<unsigned char>(p[1]) != 0x8b) return true;
  gz_.reset(new (std::nothrow) GzipState);
  if (!gz_ || inflateInit2(&gz_->z, 16 + MAX_WBITS) != Z_OK) {
    failure_ = "cannot allocate the decompressor";
    memory_short_ = true;
    return false;
  }
  gz_->ready = true;
  // What was read so far is compressed input.
  const size_t have = static_cast<size_t>(end - p);
  std::memcpy(gz_->in, p, have);
  gz_->z.next_in = gz_->in;
  gz_->z.avail_in = static_cast<uInt>(have);
  p = end = buf_;
  *end = '\0';
  eof_ = false;
  return true;
}

size_t InputText::read_raw(char* dst, size_t room) {
  for (;;) {
    const ssize_t r = ::read(fd_, dst, room);
    if (r > 0) return static_cast<size_t>(r);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) failure_ = std::string("cannot read the file: ") + std::strerror(errno);
    raw_eof_ = true;
    return 0;
  }
}

// Members follow one another until the raw input ends; the end of the input
// inside a member is a truncated file.
size_t InputText::fill_gzip(char* dst, size_t room) {
  z_stream& z = gz_->z;
  z.next_out = reinterpret_cast<Bytef*>(dst);
  z.avail_out = static_cast<uInt>(room);
  while (z.avail_out == room) {
    if (z.avail_in == 0) {
      if (!raw_eof_) {
        z.next_in = gz_->in;
        z.avail_in = static_cast<uInt>(read_raw(reinterpret_cast<char*>(gz_->in), sizeof gz_->in));
      }
      if (z.avail_in == 0) {
        if (failed()) return 0;
        if (gz_->in_member) failure_ = "the gzip data ends early (the file is truncated)";
        return 0;
      }
    }
    if (!gz_->in_member) {
      inflateReset(&z);
      gz_->in_member = true;
    }
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) {
      gz_->in_member = false;
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      memory_short_ = r == Z_MEM_ERROR;
      failure_ = r == Z_MEM_ERROR ? std::string("cannot allocate memory to decompress the file")
                                  : std::string("the gzip data is damaged (") + (z.msg ? z.msg : "unknown fault") + ")";
      return 0;
    }
  }
  return room - z.avail_out;
}

size_t InputText::fill(char* dst, size_t room) { return gz_ ? fill_gzip(dst, room) : read_raw(dst, room); }

bool InputText::refill(size_t want) {
  if (eof_) return false;
  const size_t have = static_cast<size_t>(end - p);
  std::memmove(buf_, p, have);  // p points into buf_
  p = buf_;
  end = buf_ + have;
  while (static_cast<size_t>(end - p) < want && !eof_) {
    const size_t r = fill(end, kBlock - static_cast<size_t>(end - buf_));
    if (r > 0)
      end += r;
    else
      eof_ = true;
  }
  *end = '\0';
  return static_cast<size_t>(end - p) >= want;
}

void InputText::drain() {
  if (!gz_) return;
  while (!eof_) {
    p = end = buf_;
    if (fill(buf_, kBlock) == 0) eof_ = true;
  }
  p = end = buf_;
  *end = '\0';
}

std::string quote_bytes(const char* s, size_t len) {
  std::string out;
  for (size_t i = 0; i < len; i++) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}
