#pragma once

#include <QString>

#include "TestDataSources.h"

namespace support {

// A database of its own on the PostgreSQL test server for one test, so
// that tests running side by side never see each other's tables, with a
// data source of the given name for it. Dropped again at the end.
class ScratchPostgres {
 public:
  ScratchPostgres(const PostgresServer& server, const QString& dataSourceName);
  ~ScratchPostgres();
  ScratchPostgres(const ScratchPostgres&) = delete;
  ScratchPostgres& operator=(const ScratchPostgres&) = delete;

  const QString& database() const { return database_; }
  const QString& dataSourceName() const { return dataSourceName_; }

 private:
  PostgresServer server_;
  QString dataSourceName_;
  QString adminDataSource_;
  QString database_;
};

}  // namespace support
