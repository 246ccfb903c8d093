#include "CuttableProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace support {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Relay(int from, int to) {
  char buffer[16384];
  const ssize_t got = read(from, buffer, sizeof buffer);
  if (got <= 0) return false;
  for (ssize_t sent = 0; sent < got;) {
    const ssize_t put = write(to, buffer + sent, static_cast<std::size_t>(got - sent));
    if (put <= 0) return false;
    sent += put;
  }
  return true;
}

}  // namespace

CuttableProxy::CuttableProxy(int serverPort) : serverPort_(serverPort) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0)
    throw std::runtime_error("the proxy cannot listen on loopback");
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

CuttableProxy::~CuttableProxy() {
  stopping_ = true;
  thread_.join();
  close(listener_);
  for (const auto& [client, server] : links_) {
    close(client);
    close(server);
  }
  for (int server : orphans_) close(server);
}

void CuttableProxy::CutClients() { cutting_ = true; }

void CuttableProxy::Run() {
  while (!stopping_) {
    if (cutting_.exchange(false)) {
      for (const auto& [client, server] : links_) {
        shutdown(client, SHUT_RDWR);
        close(client);
        orphans_.push_back(server);
      }
      links_.clear();
    }
    std::vector<pollfd> watched{{listener_, POLLIN, 0}};
    for (const auto& [client, server] : links_) {
      watched.push_back({client, POLLIN, 0});
      watched.push_back({server, POLLIN, 0});
    }
    if (poll(watched.data(), watched.size(), 50) <= 0) continue;
    if (watched[0].revents & POLLIN) {
      const int client = accept(listener_, nullptr, nullptr);
      const int server = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address = Loopback(serverPort_);
      if (client >= 0 && server >= 0 && connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        links_.emplace_back(client, server);
      } else {
        if (client >= 0) close(client);
        if (server >= 0) close(server);
      }
      continue;  // the list of links changed
    }
    for (std::size_t index = 0; index < links_.size(); ++index) {
      const auto [client, server] = links_[index];
      const short fromClient = watched[1 + 2 * index].revents;
      const short fromServer = watched[2 + 2 * index].revents;
      const bool open = (!(fromClient & (POLLIN | POLLHUP)) || Relay(client, server)) &&
                        (!(fromServer & (POLLIN | POLLHUP)) || Relay(server, client));
      if (!open) {
        close(client);
        close(server);
        links_.erase(links_.begin() + static_cast<std::ptrdiff_t>(index));
        break;
      }
    }
  }
}

}  // namespace support
