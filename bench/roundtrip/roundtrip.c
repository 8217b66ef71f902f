#include "roundtrip.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

enum { WAIT_MS = 10000, READ_CHUNK = 65536 };

static double now_us(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec * 1e6 + (double)now.tv_nsec / 1e3;
}

static void put_u32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = (unsigned char)(value >> (8 * i));
}

void rt_add(struct rt_unit* unit, char kind, uint32_t id, const char* item, const char* text,
            char answer) {
  unsigned char* at = unit->bytes + unit->size;
  size_t body = 5;
  at[4] = (unsigned char)kind;
  put_u32(at + 5, id);
  if (item) {
    const size_t length = strlen(item);
    at[9] = (unsigned char)length;
    at[10] = (unsigned char)(length >> 8);
    memcpy(at + 11, item, length);
    put_u32(at + 11 + length, 1);
    body += 2 + length + 4;
  }
  if (text) {
    memcpy(at + 4 + body, text, strlen(text));
    body += strlen(text);
  }
  put_u32(at, (uint32_t)body);
  unit->size += 4 + body;
  const size_t answers = strlen(unit->answers);
  unit->ids[answers] = id;
  unit->answers[answers] = answer;
  unit->answers[answers + 1] = '\0';
}

int rt_connect(const char* path) {
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (strlen(path) >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  strcpy(address.sun_path, path);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, (const struct sockaddr*)&address, sizeof address) != 0) {
    const int reason = errno;
    close(fd);
    errno = reason;
    return -1;
  }
  return fd;
}

/* The answers as they stream in: whole messages are counted and their kinds checked. */
struct answer_stream {
  unsigned char buffer[READ_CHUNK + 1024];
  size_t held;
  long answered;
  const struct rt_unit* unit;
  size_t kind_count;
};

/* Reads once (waiting up to WAIT_MS); -1 with error set on a fault. */
static int take_answers(int fd, struct answer_stream* in, char* error, size_t error_size) {
  struct pollfd waiting = {fd, POLLIN, 0};
  const int ready = poll(&waiting, 1, WAIT_MS);
  if (ready <= 0) {
    snprintf(error, error_size, "%s", ready == 0 ? "no answer within 10 s" : strerror(errno));
    return -1;
  }
  const ssize_t got = recv(fd, in->buffer + in->held, sizeof in->buffer - in->held, 0);
  if (got <= 0) {
    snprintf(error, error_size, "%s", got == 0 ? "connection closed" : strerror(errno));
    return -1;
  }
  in->held += (size_t)got;
  size_t at = 0;
  while (in->held - at >= 9) {
    const unsigned char* m = in->buffer + at;
    const uint32_t size = m[0] | (m[1] << 8) | (m[2] << 16) | ((uint32_t)m[3] << 24);
    if (size > READ_CHUNK) {
      snprintf(error, error_size, "an answer of %u bytes", size);
      return -1;
    }
    if (in->held - at < 4 + (size_t)size) break;
    const long nth = in->answered % (long)in->kind_count;
    const char kind = in->unit->answers[nth];
    const uint32_t id = m[5] | (m[6] << 8) | (m[7] << 16) | ((uint32_t)m[8] << 24);
    if ((char)m[4] != kind || id != in->unit->ids[nth]) {
      snprintf(error, error_size, "answer '%c' id %u where '%c' id %u was due", m[4], id, kind,
               in->unit->ids[nth]);
      return -1;
    }
    ++in->answered;
    at += 4 + size;
  }
  memmove(in->buffer, in->buffer + at, in->held - at);
  in->held -= at;
  return 0;
}

static int send_all(int fd, const unsigned char* bytes, size_t size, char* error,
                    size_t error_size) {
  while (size > 0) {
    const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      snprintf(error, error_size, "cannot send: %s", strerror(errno));
      return -1;
    }
    bytes += sent;
    size -= (size_t)sent;
  }
  return 0;
}

int rt_sequential(int fd, const struct rt_unit* unit, int count, double* samples_us, char* error,
                  size_t error_size) {
  static struct answer_stream in;
  memset(&in, 0, sizeof in);
  in.unit = unit;
  in.kind_count = strlen(unit->answers);
  for (int i = 0; i < count; ++i) {
    const double start = now_us();
    if (send_all(fd, unit->bytes, unit->size, error, error_size) != 0) return -1;
    while (in.answered < (long)((i + 1) * in.kind_count))
      if (take_answers(fd, &in, error, error_size) != 0) return -1;
    samples_us[i] = now_us() - start;
  }
  return 0;
}

int rt_pipelined(int fd, const struct rt_unit* unit, int count, int depth, double* seconds,
                 char* error, size_t error_size) {
  static struct answer_stream in;
  memset(&in, 0, sizeof in);
  in.unit = unit;
  in.kind_count = strlen(unit->answers);
  const long total = (long)count * (long)in.kind_count;
  unsigned char* out = malloc(unit->size * (size_t)depth);
  if (!out) {
    snprintf(error, error_size, "out of memory");
    return -1;
  }
  long sent = 0; /* units */
  const double start = now_us();
  int result = 0;
  while (in.answered < total) {
    /* Fill the window in one write: the cost measured is the server's, not our system calls. */
    const long unanswered = sent - in.answered / (long)in.kind_count;
    long room = depth - unanswered;
    if (room > count - sent) room = count - sent;
    if (room >= depth / 2 || (room > 0 && unanswered == 0)) {
      for (long i = 0; i < room; ++i) memcpy(out + i * unit->size, unit->bytes, unit->size);
      if (send_all(fd, out, unit->size * (size_t)room, error, error_size) != 0) {
        result = -1;
        break;
      }
      sent += room;
    }
    if (take_answers(fd, &in, error, error_size) != 0) {
      result = -1;
      break;
    }
  }
  *seconds = (now_us() - start) / 1e6;
  free(out);
  return result;
}
