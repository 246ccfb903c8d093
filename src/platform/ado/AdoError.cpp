#include "AdoError.h"

namespace ado {

Error::Error(const std::string& description, std::string sqlState)
    : std::runtime_error(description), sqlState_(std::move(sqlState)) {}

}  // namespace ado
