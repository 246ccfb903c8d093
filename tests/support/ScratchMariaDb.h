#pragma once

#include <QString>

#include "TestDataSources.h"

namespace support {

// A database of its own on the MariaDB test server for one test, so that
// tests running side by side never see each other's tables, with a data
// source of the given name for it (`options`: further driver options).
// Dropped again at the end.
class ScratchMariaDb {
 public:
  ScratchMariaDb(const DatabaseServer& server, const QString& dataSourceName, const QStringList& options = {});
  ~ScratchMariaDb();
  ScratchMariaDb(const ScratchMariaDb&) = delete;
  ScratchMariaDb& operator=(const ScratchMariaDb&) = delete;

  const QString& database() const { return database_; }

 private:
  QString dataSourceName_;
  QString adminDataSource_;
  QString database_;
};

}  // namespace support
