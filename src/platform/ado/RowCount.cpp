#include "RowCount.h"

#include <sql.h>

#include <exception>

#include "detail/BoundParameters.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/StatementRows.h"

namespace ado {

RowCount::RowCount(std::function<std::unique_ptr<OdbcConnection>()> connect, std::string sql,
                   std::shared_ptr<BoundParameters> parameters, std::function<void()> arrived)
    : sql_(std::move(sql)), parameters_(std::move(parameters)), arrived_(std::move(arrived)) {
  thread_ = std::thread([this, connect = std::move(connect)] { Run(connect); });
}

RowCount::~RowCount() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (running_) SQLCancel(static_cast<SQLHSTMT>(running_));
  }
  thread_.join();
}

void RowCount::Run(const std::function<std::unique_ptr<OdbcConnection>()>& connect) {
  std::optional<std::size_t> rows;
  std::optional<KeyRange> keyRange;
  std::string failure;
  try {
    std::unique_ptr<OdbcConnection> connection = connect();
    OdbcStatement statement(*connection);
    {
      std::lock_guard lock(mutex_);
      if (cancelled_) return;
      running_ = statement.handle();
    }
    try {
      parameters_->BindTo(statement);
      statement.ExecDirect(sql_);
      SQLSMALLINT columns = 0;
      statement.Check(SQLNumResultCols(statement.handle(), &columns), "Reading the columns of the count");
      const std::optional<TextRow> row = ReadNextRow(statement, std::vector<bool>(static_cast<std::size_t>(columns)));
      if (row && !row->empty() && (*row)[0]) rows = static_cast<std::size_t>(std::stoull(*(*row)[0]));
      if (row && row->size() >= 3 && (*row)[1] && (*row)[2])
        keyRange = KeyRange{std::stoll(*(*row)[1]), std::stoll(*(*row)[2])};
    } catch (...) {
      std::lock_guard lock(mutex_);
      running_ = nullptr;
      throw;
    }
    std::lock_guard lock(mutex_);
    running_ = nullptr;
  } catch (const std::exception& error) {
    failure = error.what();
  }
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    rows_ = rows;
    keyRange_ = keyRange;
    failure_ = rows || !failure.empty() ? failure : "The rows could not be counted.";
    done_ = true;
  }
  if (arrived_) arrived_();
}

bool RowCount::done() const {
  std::lock_guard lock(mutex_);
  return done_;
}

std::optional<std::size_t> RowCount::rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

std::optional<KeyRange> RowCount::keyRange() const {
  std::lock_guard lock(mutex_);
  return keyRange_;
}

std::string RowCount::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace ado
