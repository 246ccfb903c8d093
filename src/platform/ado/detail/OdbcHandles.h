#pragma once

#include <sql.h>

#include <utility>

namespace ado {

// Owns one ODBC handle of the given type and frees it when it goes.
template <SQLSMALLINT HandleType>
class OdbcHandle {
 public:
  OdbcHandle() = default;
  explicit OdbcHandle(SQLHANDLE handle) : handle_(handle) {}
  ~OdbcHandle() { reset(); }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  OdbcHandle& operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  SQLHANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_ != nullptr) SQLFreeHandle(HandleType, std::exchange(handle_, nullptr));
  }

 private:
  SQLHANDLE handle_ = nullptr;
};

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandle = OdbcHandle<SQL_HANDLE_STMT>;

// Allocates a handle of the type under `parent`; raises ado::Error on failure.
EnvironmentHandle AllocateEnvironment();
ConnectionHandle AllocateConnection(const EnvironmentHandle& environment);
StatementHandle AllocateStatement(SQLHDBC connection);

}  // namespace ado
