#include "Sybase.h"

#include <QListWidget>
#include <QString>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <stdexcept>

#include "db/DataSource.h"
#include "frame/ErrorReport.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/Connection.h"
#include "platform/ado/ErrorMeaning.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/EventLoop.h"
#include "platform/ui/LockWait.h"
#include "platform/ui/PacedListFill.h"

namespace db {
namespace {

constexpr std::string_view CatalogueLocation = "in Dunmarra2021/08/31.Sybase.AddTablesToSybaseListbox ";

std::string UpperCased(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// A step on an object that was never created fails like any other step.
template <class Object>
Object& Existing(const std::shared_ptr<Object>& object) {
  if (!object) throw std::runtime_error("Object variable not set");
  return *object;
}

// A database locked by another program makes the catalogue's read wait
// for the lock as long as the data source's timeout, then fail. The list
// may be loaded twice for one connection asked for (showing the page loads
// it, and so may the step after); the wait is waited once: until the next
// connection is asked for, the same data source's catalogue fails at once,
// with the same message. So does a wait the user stopped (Esc): the window
// turns while the catalogue waits.
struct LockedCatalogue {
  std::string dataSource;
  std::optional<ado::Error> failure;
};

LockedCatalogue& LastLockedCatalogue() {
  static LockedCatalogue locked;
  return locked;
}

// Runs a read of the catalogue, failing at once where it failed on a lock.
template <class Read>
void ReadCatalogue(const std::string& dataSource, Read&& read) {
  LockedCatalogue& locked = LastLockedCatalogue();
  if (locked.failure && locked.dataSource == dataSource) throw *locked.failure;
  try {
    read();
  } catch (const ado::Error& error) {
    if (ado::IsBusy(error) || ado::IsCancelled(error)) locked = {dataSource, error};
    throw;
  }
}

}  // namespace

bool ConnectToSybase() {
  LastLockedCatalogue().failure.reset();
  // Creation is outside the trap: a missing data-access layer is the
  // caller's failure to report.
  ado::ConnectionPtr connection = ado::CreateConnection();
  bool connected = false;
  try {
    // The driver may wait for another program's lock to connect: the
    // window turns meanwhile.
    ui::LockWait wait;
    const ui::LockWait::Read waiting(wait);
    OpenDataSourceConnection(*connection);
    connected = true;
  } catch (...) {
    connected = false;
  }
  connection.reset();  // releasing the last reference closes it
  return connected;
}

void AddTablesToSybaseListbox(QListWidget& list) {
  frame::ErrorTrap trap(CatalogueLocation);
  ado::ConnectionPtr connection;
  ado::RecordsetPtr tables;

  trap.Step(100, [&] { connection = ado::CreateConnection(); });
  trap.Step(104, [&] { Existing(connection).setProvider("MSDASQL"); });
  // Opening the database and reading its catalogue may wait for another
  // program's lock: the window turns meanwhile, and Esc stops the wait.
  ui::LockWait wait;
  std::optional<ui::LockWait::Read> waiting(std::in_place, wait);
  trap.Step(106, [&] { Existing(connection).Open(ConnectionStringFor(CurrentDataSourceName())); });
  const std::string dataSource = CurrentDataSourceName();
  trap.Step(108, [&] {
    ReadCatalogue(dataSource, [&] { tables = Existing(connection).OpenSchema(ado::adSchemaTables); });
  });
  waiting.reset();
  trap.Step(110, [&] { list.clear(); });

  // Names reach the list at the display's pace: the loop runs once per
  // table, and a visible list redrawn that often would cost far more than
  // reading the catalogue.
  ui::PacedListFill names(list);

  // Without a rowset every read would fail the same way for ever, so the
  // enumeration ends there; so it does after the first failed read of an
  // open rowset (a failing Eof or MoveNext would repeat without end).
  bool reading = tables != nullptr;
  while (reading) {
    bool readFailed = false;
    const bool atEnd = trap.Test(112, [&] {
      bool end = true;
      ReadCatalogue(dataSource, [&] { end = tables->Eof(); });
      return end;
    }, true);
    // A failed test counts as "at the end" here, see above.
    if (atEnd) break;
    const bool isTable = trap.Test(114, [&] {
      const ado::Value type = tables->FieldValue("TABLE_TYPE");
      return !type.isNull() && type.toString() == "TABLE";
    });
    if (isTable) {
      trap.Step(116, [&] { ui::DoEvents(); });
      const bool listed = trap.Test(118, [&] {
        const ado::Value name = tables->FieldValue("TABLE_NAME");
        return !name.isNull() && UpperCased(name.toString()).find("SYS") == std::string::npos;
      });
      if (listed)
        trap.Step(120, [&] { names.Add(QString::fromStdString(tables->FieldValue("TABLE_NAME").toString())); });
    }
    readFailed = !trap.Step(122, [&] { tables->MoveNext(); });
    reading = !readFailed;
  }
  names.Flush();

  if (tables) {
    trap.Step(124, [&] { tables->Close(); });
    trap.Step(126, [&] { tables.reset(); });
  }
  if (connection && connection->isOpen()) trap.Step(128, [&] { connection->Close(); });
  trap.Step(130, [&] { connection.reset(); });
}

}  // namespace db
