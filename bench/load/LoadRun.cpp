#include "bench/load/LoadRun.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include "bench/support/LinkCall.h"
#include "bench/support/PrivateDriver.h"
#include "common/Names.h"
#include "common/Version.h"

namespace zel::bench {

namespace {

constexpr char MissingItem[] = "NoSuchItem";
constexpr char MissingItemReason[] = "no such item";
constexpr std::size_t FaultsKept = 20;

// What a request may answer while every client pokes and runs "Version" on the one shared item:
// the emptied item or the release number, each with its line end. Never a poked text, never
// nothing at all (a poke always came first).
bool IsSharedItemText(const std::string& text) {
  return text == "\r\n" || text == std::string(ReleaseNumber) + "\r\n";
}

// A text no other client and no other transaction pokes: the addressee and sender, then the
// client's number and the transaction's as data bytes.
std::string UniquePokeText(int client, int transaction) {
  char text[40];
  std::snprintf(text, sizeof text, "0205 0001 %08X%08X", static_cast<unsigned>(client),
                static_cast<unsigned>(transaction));
  return text;
}

}  // namespace

void LoadReport::Fault(std::string text) {
  ++faultCount;
  if (faults.size() < FaultsKept) faults.push_back(std::move(text));
}

struct LoadRun::Answer {
  enum class Text { Any, AfterPoke, AfterVersion, Refusal };
  uint32_t id = 0;
  MessageKind kind = MessageKind::Ack;
  Text text = Text::Any;
};

struct LoadRun::Client {
  int index = 0;  // the watcher's is the number of clients
  int fd = -1;
  uint32_t firstId = 0, nextId = 0;
  int transaction = 0;  // the next one to start
  std::string out;
  std::size_t outAt = 0;
  bool writeWatched = false;
  std::deque<Answer> expected;
  MessageReader reader;
};

LoadRun::LoadRun(std::string socketPath, LoadOptions options)
    : socketPath_(std::move(socketPath)), options_(options) {}

LoadRun::~LoadRun() {
  for (const auto& client : clients_)
    if (client && client->fd >= 0) close(client->fd);
  if (epoll_ >= 0) close(epoll_);
}

bool LoadRun::Connect(std::string& error) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) {
    error = std::string("epoll: ") + std::strerror(errno);
    return false;
  }
  // Ids tell whose an answer is: each client has a range of its own.
  const uint32_t span = static_cast<uint32_t>(6 * options_.transactions + 4);
  // The watcher first: should the driver refuse some, it is the clients beyond its limit.
  clients_.resize(static_cast<std::size_t>(options_.clients) + 1);
  for (int k = 0; k <= options_.clients; ++k) {
    const int index = k == 0 ? options_.clients : k - 1;
    auto client = std::make_unique<Client>();
    client->index = index;
    client->firstId = client->nextId = 1 + static_cast<uint32_t>(index) * span;
    const double deadline = NowMs() + 30000;
    while ((client->fd = ConnectLocal(socketPath_, true)) < 0) {
      // A full listen backlog: the driver has not accepted the last ones yet.
      if (errno != EAGAIN || NowMs() > deadline || StopRequested()) {
        error = "client " + std::to_string(index) + " cannot connect to " + socketPath_ + ": " +
                std::strerror(errno);
        return false;
      }
      ++report_.connectRetries;
      usleep(1000);
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = client.get();
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, client->fd, &event) != 0) {
      error = std::string("epoll: ") + std::strerror(errno);
      return false;
    }
    clients_[static_cast<std::size_t>(index)] = std::move(client);
  }
  return true;
}

void LoadRun::Queue(Client& client, std::string bytes, Answer expected) {
  client.out += bytes;
  client.expected.push_back(expected);
  if (client.index != options_.clients) ++report_.messages;
}

void LoadRun::StartTransaction(Client& client) {
  const int t = client.transaction++;
  auto next = [&client](MessageKind kind, Answer::Text text = Answer::Text::Any) {
    return Answer{client.nextId++, kind, text};
  };
  if (t == 0) {
    const Answer ack = next(MessageKind::Ack);
    Queue(client, EncodeMessage(MakeMessage(MessageKind::Connect, ack.id, DriverTopic)), ack);
  }
  Answer a = next(MessageKind::Ack);
  Queue(client,
        EncodeMessage(
            MakeMessage(MessageKind::Poke, a.id, UniquePokeText(client.index, t), DriverItem)),
        a);
  a = next(MessageKind::Data, Answer::Text::AfterPoke);
  Queue(client, EncodeMessage(MakeMessage(MessageKind::Request, a.id, {}, DriverItem)), a);
  if (options_.refusalEvery > 0 && t % options_.refusalEvery == options_.refusalEvery - 1) {
    a = next(MessageKind::Nak, Answer::Text::Refusal);
    Queue(client, EncodeMessage(MakeMessage(MessageKind::Request, a.id, {}, MissingItem)), a);
  }
  a = next(MessageKind::Ack);
  Queue(client, EncodeMessage(MakeMessage(MessageKind::Execute, a.id, VersionCommand)), a);
  a = next(MessageKind::Data, Answer::Text::AfterVersion);
  Queue(client, EncodeMessage(MakeMessage(MessageKind::Request, a.id, {}, DriverItem)), a);
  Flush(client);
}

void LoadRun::Flush(Client& client) {
  while (client.fd >= 0 && client.outAt < client.out.size()) {
    const ssize_t wrote = send(client.fd, client.out.data() + client.outAt,
                               client.out.size() - client.outAt, MSG_NOSIGNAL);
    if (wrote > 0) {
      client.outAt += static_cast<std::size_t>(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno == EAGAIN) break;
    Lose(client, std::string("cannot send: ") + std::strerror(errno));
    return;
  }
  if (client.fd < 0) return;
  const bool pending = client.outAt < client.out.size();
  if (!pending) {
    client.out.clear();
    client.outAt = 0;
  }
  if (pending != client.writeWatched) {
    epoll_event event{};
    event.events = pending ? EPOLLIN | EPOLLOUT : EPOLLIN;
    event.data.ptr = &client;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, client.fd, &event);
    client.writeWatched = pending;
  }
}

void LoadRun::Take(Client& client) {
  char chunk[65536];
  while (client.fd >= 0) {
    const ssize_t got = read(client.fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return;
    if (got <= 0) {
      Lose(client, got == 0 ? "the driver closed the connection" : std::strerror(errno));
      return;
    }
    client.reader.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    ++received_;
    while (client.reader.HasEvent()) {
      MessageReader::Event event = client.reader.Next();
      if (event.type != MessageReader::EventType::Message) {
        report_.Fault("client " + std::to_string(client.index) +
                      ": unreadable answer: " + event.reason);
        Lose(client, "its answers cannot be read any more");
        return;
      }
      Check(client, event.message);
    }
  }
}

void LoadRun::Check(Client& client, const LinkMessage& answer) {
  const std::string who = "client " + std::to_string(client.index) + ": ";
  const bool watcher = client.index == options_.clients;
  if (watcher && answer.kind == MessageKind::Notice && answer.id == client.firstId + 1) {
    ++report_.notices;
    return;
  }
  const uint32_t span = static_cast<uint32_t>(6 * options_.transactions + 4);
  std::size_t at = 0;
  while (at < client.expected.size() && client.expected[at].id != answer.id) ++at;
  if (at == client.expected.size()) {
    const uint32_t owner = answer.id == 0 ? 0 : (answer.id - 1) / span;
    std::string whose = " answers nothing outstanding";
    if (answer.id == 0)
      whose = " (the driver's own)";
    else if (owner == static_cast<uint32_t>(options_.clients))
      whose = " belongs to the watcher";
    else if (owner != static_cast<uint32_t>(client.index))
      whose = " belongs to client " + std::to_string(owner);
    report_.Fault(who + "answer " + Describe(answer) + " with id " + std::to_string(answer.id) +
                  whose);
    return;
  }
  const Answer expected = client.expected[at];
  client.expected.erase(client.expected.begin() + static_cast<std::ptrdiff_t>(at));
  if (!watcher) ++report_.answers;
  if (at > 0) {
    report_.Fault(who + "id " + std::to_string(answer.id) + " answered before id " +
                  std::to_string(client.expected.front().id));
  }
  if (answer.kind != expected.kind) {
    report_.Fault(who + "id " + std::to_string(answer.id) + " answered " + Describe(answer) +
                  ", expected " + std::string(1, static_cast<char>(expected.kind)));
  } else if (expected.text == Answer::Text::Refusal && answer.text != MissingItemReason) {
    report_.Fault(who + "a request for a missing item was refused with " + Describe(answer));
  } else if (expected.text == Answer::Text::AfterPoke ||
             expected.text == Answer::Text::AfterVersion) {
    auto& tally =
        expected.text == Answer::Text::AfterPoke ? report_.afterPoke : report_.afterVersion;
    if (IsSharedItemText(answer.text)) {
      ++tally[answer.text];
    } else {
      ++tally[OtherText];
      report_.Fault(who + "id " + std::to_string(answer.id) + ": the item held " +
                    Describe(answer));
    }
  }
  if (!client.expected.empty() || watcher) return;
  ++report_.transactions;
  if (client.transaction < options_.transactions)
    StartTransaction(client);
  else
    --busy_;
}

void LoadRun::Lose(Client& client, const std::string& why) {
  const bool watcher = client.index == options_.clients;
  const bool unfinished =
      !client.expected.empty() || (!watcher && client.transaction < options_.transactions);
  if (unfinished || watcher) {
    report_.Fault("client " + std::to_string(client.index) + ": " + why + " with " +
                  std::to_string(client.expected.size()) + " answers outstanding, after " +
                  std::to_string(client.transaction) + " transactions started");
  }
  if (!watcher && unfinished && client.transaction > 0) --busy_;
  client.expected.clear();
  epoll_ctl(epoll_, EPOLL_CTL_DEL, client.fd, nullptr);
  close(client.fd);
  client.fd = -1;
}

bool LoadRun::Loop(const std::function<bool()>& done) {
  epoll_event events[256];
  double lastAnswer = NowMs();
  long receivedSeen = received_;
  while (!done()) {
    const int ready = epoll_wait(epoll_, events, 256, 1000);
    if (StopRequested()) {
      report_.Fault("interrupted by a signal");
      return false;
    }
    if (ready < 0 && errno != EINTR) {
      report_.Fault(std::string("epoll: ") + std::strerror(errno));
      return false;
    }
    for (int i = 0; i < ready; ++i) {
      Client& client = *static_cast<Client*>(events[i].data.ptr);
      if (client.fd >= 0 && (events[i].events & EPOLLOUT)) Flush(client);
      if (client.fd >= 0 && (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR))) Take(client);
    }
    if (received_ != receivedSeen) {
      receivedSeen = received_;
      lastAnswer = NowMs();
    } else if (NowMs() - lastAnswer > options_.stallSeconds * 1000.0) {
      long outstanding = 0;
      for (const auto& client : clients_) outstanding += static_cast<long>(client->expected.size());
      report_.Fault("no answer for " + std::to_string(options_.stallSeconds) + " s, " +
                    std::to_string(outstanding) + " outstanding on " + std::to_string(busy_) +
                    " clients");
      return false;
    }
  }
  return true;
}

void LoadRun::Run() {
  Client& watcher = *clients_.back();
  auto watcherIdle = [&watcher] { return watcher.expected.empty(); };

  // The watcher's link is open before the first poke, so it sees every setting of the item.
  Queue(watcher, EncodeMessage(MakeMessage(MessageKind::Connect, watcher.nextId, DriverTopic)),
        {watcher.nextId, MessageKind::Ack, Answer::Text::Any});
  ++watcher.nextId;
  Queue(watcher, EncodeMessage(MakeMessage(MessageKind::Advise, watcher.nextId, {}, DriverItem)),
        {watcher.nextId, MessageKind::Ack, Answer::Text::Any});
  ++watcher.nextId;
  Flush(watcher);
  if (!Loop(watcherIdle) || watcher.fd < 0) return;

  const double start = NowMs();
  for (int i = 0; i < options_.clients; ++i) {
    if (clients_[i]->fd < 0) continue;
    ++busy_;
    StartTransaction(*clients_[i]);
  }
  const bool finished = Loop([this] { return busy_ == 0; });
  report_.seconds = (NowMs() - start) / 1000.0;
  if (!finished || watcher.fd < 0) return;

  // Answers on one connection keep their order, so once this request is answered every notice
  // of the clients' transactions has arrived.
  report_.expectedNotices = 3L * options_.clients * options_.transactions;
  Queue(watcher, EncodeMessage(MakeMessage(MessageKind::Request, watcher.nextId, {}, DriverItem)),
        {watcher.nextId, MessageKind::Data, Answer::Text::Any});
  Flush(watcher);
  Loop(watcherIdle);
  const long all = static_cast<long>(options_.clients) * options_.transactions;
  if (report_.transactions == all && report_.notices != report_.expectedNotices)
    report_.Fault("the watcher got " + std::to_string(report_.notices) + " notices of " +
                  std::to_string(report_.expectedNotices));
}

}  // namespace zel::bench
