#include "RowWriter.h"

namespace ado {

RowWriter::RowWriter() = default;
RowWriter::~RowWriter() = default;

}  // namespace ado
