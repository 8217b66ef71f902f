/* raw_echo [--batch] SOCKET: the floor for the driver's round trips. Serves a Unix stream socket
 * with the link's framing and nothing else: a request ('R') is answered with data "\r\n", as the
 * driver answers after a poke, any other message with an acknowledgement. Each answer is written
 * as soon as its message is read, as the driver does; --batch writes all the answers to one read
 * at once instead. Ends on SIGTERM or SIGINT. */

#define _GNU_SOURCE /* accept4 */

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

/* An answer (at most 16 bytes) is never longer than 16/9 of its message (at least 9 bytes), so the
 * answers to a full input buffer always fit. */
enum { MAX_CLIENTS = 64, CHUNK = 65536, OUT_LIMIT = 2 * (CHUNK + 1024) };

struct client {
  int fd;
  unsigned char in[CHUNK + 1024];
  size_t held;
  unsigned char out[OUT_LIMIT];
  size_t queued;
};

static struct client clients[MAX_CLIENTS];
static volatile sig_atomic_t stopping = 0;
static int batch = 0;

static void on_stop(int signal_number) {
  (void)signal_number;
  stopping = 1;
}

static void answer(struct client* c, const unsigned char* message) {
  const int request = message[4] == 'R';
  const uint32_t size = request ? 7 : 5;
  unsigned char* at = c->out + c->queued;
  at[0] = (unsigned char)size;
  at[1] = at[2] = at[3] = 0;
  at[4] = request ? 'd' : 'k';
  memcpy(at + 5, message + 5, 4); /* the id */
  if (request) memcpy(at + 9, "\r\n", 2);
  c->queued += 4 + size;
}

static void drop(struct client* c) {
  close(c->fd);
  c->fd = -1;
}

static int flush(struct client* c) {
  size_t sent = 0;
  while (sent < c->queued) {
    const ssize_t wrote = send(c->fd, c->out + sent, c->queued - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      drop(c);
      return -1;
    }
    sent += (size_t)wrote;
  }
  c->queued = 0;
  return 0;
}

/* Reads what is there, answers every whole message, writes the answers. */
static void serve(struct client* c) {
  const ssize_t got = recv(c->fd, c->in + c->held, sizeof c->in - c->held, 0);
  if (got <= 0) {
    if (got == 0 || (errno != EINTR && errno != EAGAIN)) drop(c);
    return;
  }
  c->held += (size_t)got;
  size_t at = 0;
  while (c->held - at >= 9) {
    const unsigned char* m = c->in + at;
    const uint32_t size = m[0] | (m[1] << 8) | (m[2] << 16) | ((uint32_t)m[3] << 24);
    if (size < 5 || size > CHUNK) {
      drop(c);
      return;
    }
    if (c->held - at < 4 + (size_t)size) break;
    answer(c, m);
    if (!batch && flush(c) != 0) return;
    at += 4 + size;
  }
  memmove(c->in, c->in + at, c->held - at);
  c->held -= at;
  flush(c);
}

int main(int argc, char** argv) {
  batch = argc == 3 && strcmp(argv[1], "--batch") == 0;
  if (argc != 2 + batch) {
    fprintf(stderr, "usage: raw_echo [--batch] SOCKET\n");
    return 2;
  }
  const char* path = argv[1 + batch];
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (strlen(path) >= sizeof address.sun_path) {
    fprintf(stderr, "raw_echo: socket path too long\n");
    return 2;
  }
  strcpy(address.sun_path, path);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  unlink(path);
  if (listener < 0 || bind(listener, (struct sockaddr*)&address, sizeof address) != 0 ||
      listen(listener, 64) != 0) {
    fprintf(stderr, "raw_echo: %s: %s\n", path, strerror(errno));
    return 1;
  }
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = on_stop;
  sigaction(SIGTERM, &action, NULL);
  sigaction(SIGINT, &action, NULL);
  for (int i = 0; i < MAX_CLIENTS; ++i) clients[i].fd = -1;

  struct pollfd polled[MAX_CLIENTS + 1];
  while (!stopping) {
    int count = 0;
    polled[count++] = (struct pollfd){listener, POLLIN, 0};
    int which[MAX_CLIENTS];
    for (int i = 0; i < MAX_CLIENTS; ++i) {
      if (clients[i].fd < 0) continue;
      which[count - 1] = i;
      polled[count++] = (struct pollfd){clients[i].fd, POLLIN, 0};
    }
    if (poll(polled, (nfds_t)count, -1) < 0) continue;
    for (int p = 1; p < count; ++p)
      if (polled[p].revents) serve(&clients[which[p - 1]]);
    if (polled[0].revents & POLLIN) {
      const int fd = accept4(listener, NULL, NULL, SOCK_CLOEXEC);
      int slot = 0;
      while (fd >= 0 && slot < MAX_CLIENTS && clients[slot].fd >= 0) ++slot;
      if (fd >= 0 && slot == MAX_CLIENTS) close(fd);
      if (fd >= 0 && slot < MAX_CLIENTS) {
        clients[slot].fd = fd;
        clients[slot].held = clients[slot].queued = 0;
      }
    }
  }
  close(listener);
  unlink(path);
  return 0;
}
