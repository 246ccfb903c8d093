// What a write does beyond the rows it names: the rows a delete takes with
// it, and rows of the table read again after a write.
#include "ChangeExecutor.h"
#include "TableWriter.h"
#include "dialect/Dialect.h"

namespace ado {

std::vector<DeleteCascade::Taken> TableWriter::DeletedWith(const std::vector<StoredRow>& rows) {
  const DeleteCascade cascade(planner_.shape());
  std::optional<PlannedStatement> planned = cascade.Read(rows);
  if (!planned) return {};
  OdbcConnection& writer = Writer();
  const std::unique_ptr<ChangeExecutor> executor = Executor(writer);
  return cascade.ParentsFirst(executor->Read(*planned));
}

ChangeVerifier::Found TableWriter::FindNow(const StoredRow& held) {
  OdbcConnection& writer = Writer();
  const std::unique_ptr<ChangeExecutor> executor = Executor(writer);
  const Dialect& dialect = planner_.dialect();
  // A row still in the version read is as held; most rows looked at are.
  if (std::optional<PlannedStatement> same = dialect.SameVersion(planner_.shape(), held)) {
    std::vector<StoredRow> rows = executor->Read(*same);
    if (rows.size() == 1) return {ChangeVerifier::Fate::Present, std::move(rows.front())};
  }
  ChangeVerifier::Found found = verifier_.FindAgain(writer, *executor, held);
  if (found.fate != ChangeVerifier::Fate::Unknown || dialect.RowsCarryVersions(read_)) return found;
  // Nothing but how it was read names the row: where that finds it, it is
  // the row.
  PlannedStatement planned = planner_.ReadRow(held);
  std::vector<StoredRow> rows = executor->Read(planned);
  if (rows.size() == 1) found = {ChangeVerifier::Fate::Present, std::move(rows.front())};
  return found;
}

}  // namespace ado
