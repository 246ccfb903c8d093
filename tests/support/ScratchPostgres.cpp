#include "ScratchPostgres.h"

#include <QCoreApplication>
#include <QUuid>

#include "DirectSql.h"

namespace support {

ScratchPostgres::ScratchPostgres(const PostgresServer& server, const QString& dataSourceName)
    : server_(server), dataSourceName_(dataSourceName) {
  const QString suffix = QUuid::createUuid().toString(QUuid::Id128).left(12);
  database_ = "quorvane_scratch_" + suffix;
  adminDataSource_ = "QuorvaneAdmin_" + suffix;
  AddPostgresDataSource(adminDataSource_, server_, server_.database);
  DirectSql(adminDataSource_).Exec("CREATE DATABASE " + database_.toStdString() + " ENCODING 'UTF8' TEMPLATE template0");
  AddPostgresDataSource(dataSourceName_, server_, database_);
}

ScratchPostgres::~ScratchPostgres() {
  try {
    DirectSql(adminDataSource_).Exec("DROP DATABASE IF EXISTS " + database_.toStdString() + " WITH (FORCE)");
  } catch (const std::exception& failure) {
    qWarning("could not drop %s: %s", qPrintable(database_), failure.what());
  }
  RemoveDataSource(dataSourceName_);
  RemoveDataSource(adminDataSource_);
}

}  // namespace support
