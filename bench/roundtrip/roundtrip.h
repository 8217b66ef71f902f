/* Round trips of link messages on a local stream socket, the same for the driver and for the raw
 * echo server: sequential (each one timed) and pipelined (many in flight). Plain C, no state. */
#ifndef ZEL_BENCH_ROUNDTRIP_H
#define ZEL_BENCH_ROUNDTRIP_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What one round trip sends, and the kinds of the answers it waits for, in order. */
struct rt_unit {
  unsigned char bytes[256];
  size_t size;
  char answers[8]; /* e.g. "d", or "kd" for an execute and a request */
  uint32_t ids[8]; /* the ids the answers carry */
};

/* Appends a message to the unit: kind, id, and for items (item != NULL) the item field. */
void rt_add(struct rt_unit* unit, char kind, uint32_t id, const char* item, const char* text,
            char answer);

/* Connects (blocking); the descriptor or -1 with errno. */
int rt_connect(const char* path);

/* Sends the unit and waits for its answers, count times; samples_us[i] is the i-th round trip.
 * 0, or -1 with a reason in error (a wrong kind, a closed connection, 10 s without an answer). */
int rt_sequential(int fd, const struct rt_unit* unit, int count, double* samples_us, char* error,
                  size_t error_size);

/* Sends the unit count times, keeping at most depth of them unanswered; the time it took. */
int rt_pipelined(int fd, const struct rt_unit* unit, int count, int depth, double* seconds,
                 char* error, size_t error_size);

#ifdef __cplusplus
}
#endif

#endif
