#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "KeyRange.h"

namespace ado {

class OdbcConnection;
class BoundParameters;

// Counts rows in the background, on a connection of its own, so that
// nobody waits for it: a table of a hundred million rows takes seconds to
// count. Going away cancels the count and waits for its thread. A count
// whose query answers with two more values, the lowest and the highest of
// the key the rows are ordered by, gives them as well, of the same rows.
class RowCount {
 public:
  // `connect` opens the connection, on the counting thread; `arrived` runs
  // there when the count is done or failed.
  RowCount(std::function<std::unique_ptr<OdbcConnection>()> connect, std::string sql,
           std::shared_ptr<BoundParameters> parameters, std::function<void()> arrived);
  ~RowCount();
  RowCount(const RowCount&) = delete;
  RowCount& operator=(const RowCount&) = delete;

  bool done() const;
  std::optional<std::size_t> rows() const;
  std::optional<KeyRange> keyRange() const;
  // Why there is no count, once done without one.
  std::string failure() const;

 private:
  void Run(const std::function<std::unique_ptr<OdbcConnection>()>& connect);

  std::string sql_;
  std::shared_ptr<BoundParameters> parameters_;
  std::function<void()> arrived_;
  mutable std::mutex mutex_;
  void* running_ = nullptr;  // the statement handle while the count runs
  bool cancelled_ = false;
  bool done_ = false;
  std::optional<std::size_t> rows_;
  std::optional<KeyRange> keyRange_;
  std::string failure_;
  std::thread thread_;
};

}  // namespace ado
