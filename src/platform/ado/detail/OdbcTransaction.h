#pragma once

namespace ado {

class OdbcConnection;

// A transaction on a connection in manual-commit mode: rolled back when the
// guard ends without Commit. On a data source without transactions every
// statement stands on its own, and the guard does nothing.
class OdbcTransaction {
 public:
  explicit OdbcTransaction(OdbcConnection& connection);
  ~OdbcTransaction();
  OdbcTransaction(const OdbcTransaction&) = delete;
  OdbcTransaction& operator=(const OdbcTransaction&) = delete;

  bool enabled() const { return enabled_; }
  // Raises Error when the commit fails; the transaction is rolled back then.
  void Commit();
  void Rollback();

 private:
  OdbcConnection& connection_;
  bool enabled_;
  bool ended_ = false;
};

}  // namespace ado
