#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace support {

// A TCP relay on loopback between the program and a server, whose client
// side can be cut while the server side stays open: as a network that
// drops the program's connections while the server sessions live on.
class CuttableProxy {
 public:
  explicit CuttableProxy(int serverPort);
  ~CuttableProxy();
  CuttableProxy(const CuttableProxy&) = delete;
  CuttableProxy& operator=(const CuttableProxy&) = delete;

  int port() const { return port_; }
  // Closes the program's side of every relayed connection; new ones are
  // relayed as before.
  void CutClients();

 private:
  void Run();

  int serverPort_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> cutting_{false};
  std::vector<std::pair<int, int>> links_;  // client, server
  std::vector<int> orphans_;                // server sides of cut links
  std::thread thread_;
};

}  // namespace support
