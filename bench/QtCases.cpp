#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QCoreApplication>
#include <stdexcept>

#include "Cases.h"
#include "Measure.h"

namespace bench {
namespace {

// One named QODBC connection for the lifetime of a measurement.
class QtConnection {
 public:
  explicit QtConnection(const Options& options) {
    QSqlDatabase database = QSqlDatabase::addDatabase("QODBC", Name);
    database.setDatabaseName(QString::fromStdString(options.dataSource));
    if (!database.open()) throw std::runtime_error(database.lastError().text().toStdString());
  }
  ~QtConnection() { QSqlDatabase::removeDatabase(Name); }
  QtConnection(const QtConnection&) = delete;
  QtConnection& operator=(const QtConnection&) = delete;
  QSqlDatabase database() const { return QSqlDatabase::database(Name, false); }

 private:
  static constexpr const char* Name = "bench";
};

void Bind(QSqlQueryModel& model, QTableView& view, const QtConnection& connection, const Options& options) {
  const QSqlDatabase database = connection.database();
  const QString table = database.driver()->escapeIdentifier(QString::fromStdString(options.table), QSqlDriver::TableName);
  model.setQuery(QSqlQuery("SELECT * FROM " + table, database));
  if (model.lastError().isValid()) throw std::runtime_error(model.lastError().text().toStdString());
  view.setModel(&model);
  while (model.rowCount() < 50 && model.canFetchMore()) model.fetchMore();
  if (model.rowCount() < 50) throw std::runtime_error("fewer than 50 rows");
}

}  // namespace

Metrics QtFirstScreen(const Options& options) {
  QTableView view;
  view.resize(1000, 700);
  view.show();
  QCoreApplication::processEvents();
  double seconds = 0;
  {
    Span span;
    QtConnection connection(options);
    QSqlQueryModel model;
    Bind(model, view, connection, options);
    seconds = span.seconds();
    view.setModel(nullptr);
  }
  return {{"seconds", seconds}};
}

}  // namespace bench
