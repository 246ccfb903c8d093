#include "ScratchMariaDb.h"

#include <QUuid>

#include "DirectSql.h"

namespace support {

ScratchMariaDb::ScratchMariaDb(const DatabaseServer& server, const QString& dataSourceName,
                               const QStringList& options)
    : dataSourceName_(dataSourceName) {
  const QString suffix = QUuid::createUuid().toString(QUuid::Id128).left(12);
  database_ = "quorvane_scratch_" + suffix;
  adminDataSource_ = "QuorvaneMyAdmin_" + suffix;
  AddMariaDbDataSource(adminDataSource_, server, server.database);
  DirectSql(adminDataSource_).Exec("CREATE DATABASE " + database_.toStdString() + " CHARACTER SET utf8mb4");
  AddMariaDbDataSource(dataSourceName_, server, database_, options);
}

ScratchMariaDb::~ScratchMariaDb() {
  try {
    DirectSql(adminDataSource_).Exec("DROP DATABASE IF EXISTS " + database_.toStdString());
  } catch (const std::exception& failure) {
    qWarning("could not drop %s: %s", qPrintable(database_), failure.what());
  }
  RemoveDataSource(dataSourceName_);
  RemoveDataSource(adminDataSource_);
}

}  // namespace support
