#include "AppGrid.h"

#include <QApplication>
#include <stdexcept>

#include "pages/Form2.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {

void BindTable(ui::DataGrid& grid, const Options& options) {
  auto connection = ado::CreateConnection();
  connection->setProvider("MSDASQL");
  connection->Open("Data Source=" + options.dataSource);
  connection->setCursorLocation(ado::adUseClient);
  auto recordset = std::make_shared<ado::Recordset>();
  recordset->setTable(options.table);
  recordset->Open(pages::TableQueryText(options.table, connection->IdentifierQuote()), connection, ado::adOpenDynamic,
                  ado::adLockOptimistic);
  grid.setDataSource(recordset);
  grid.setFocus();
}

void FillScreen(ui::DataGrid& grid) {
  ui::RecordsetModel* model = grid.recordsetModel();
  while (model->rowCount() < ScreenRows && model->canFetchMore({})) model->fetchMore({});
  if (model->rowCount() < ScreenRows) throw std::runtime_error("the grid has fewer than 50 rows");
}

void ShowGrid(ui::DataGrid& grid) {
  grid.resize(1000, 700);
  grid.show();
  QCoreApplication::processEvents();
}

}  // namespace bench
