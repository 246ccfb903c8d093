#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Recordset.h"
#include "WritePlan.h"

namespace ado {

class BoundParameters;
class Error;
class OdbcConnection;
class OdbcStatement;
class RowCache;
class WriteFailure;

// Writes single edited cells of a result back to its table. Each write is
// one UPDATE of the edited column only, on a connection of its own, that
// must find exactly the row that was read: by its identity (see WritePlan)
// and the cell's value as read. Where the identity is a key and the server
// hands the changed row back (UPDATE ... RETURNING), that one statement is
// the whole write: it can change one row at most. Otherwise the write runs
// in a transaction of its own, anything but one changed row is rolled back
// and reported, and the row is read again after the commit.
class RowWriter {
 public:
  RowWriter(OdbcConnection& readConnection, std::vector<ColumnInfo> columns, WritePlan plan);
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // Empty when the column can be written.
  std::string ReadOnlyReason(int column) const;

  // `finishReading` runs first on data sources where an unfinished read
  // holds a lock that would block the write: it must give that lock back,
  // by reading the rest of the result or by closing the read for later.
  void UpdateCell(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                  const std::function<void()>& finishReading);

  // How long a write waits for locks held by others.
  static constexpr int BusyWaitSeconds = 5;

 private:
  using Row = std::vector<std::optional<std::string>>;

  OdbcConnection& Writer();
  void UpdateInOneStatement(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                            const Row& original, const std::vector<int>& checked, const WriteFailure& failure);
  void UpdateInTransaction(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                           const Row& original, const std::vector<int>& checked, const WriteFailure& failure);
  void SettleLostWrite(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                       const Row& original, const WriteFailure& failure, const Error& lost);
  std::string SelectList() const;
  // The next row of a statement that selects SelectList().
  std::optional<Row> ReadStoredRow(OdbcStatement& statement) const;
  std::string Where(const std::vector<std::optional<std::string>>& values, const std::vector<int>& columns,
                    BoundParameters& parameters) const;
  std::optional<Row> ReadRow(OdbcConnection& connection, const Row& identityValues);
  void Refresh(RowCache& rows, std::size_t row, OdbcConnection& connection, const Row& identityValues);

  OdbcConnection& read_;
  std::vector<ColumnInfo> columns_;
  WritePlan plan_;
  bool readerBlocksWriters_ = false;
  bool oneStatement_ = false;
  std::unique_ptr<OdbcConnection> writer_;
  bool writerLost_ = false;
};

}  // namespace ado
