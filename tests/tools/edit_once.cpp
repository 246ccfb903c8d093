// A second copy of the program's editing path, for tests that need another
// process: opens one table the way the table chooser does and writes one
// cell again and again, printing one line per attempt:
//   ok <n> | busy <n> | conflict <n> | error <n> <message>
// Usage: edit_once <data source> <table> <key> <column> <value length> <writes, 0 = until killed>
// The row is the one whose first column reads <key>.
// Write n stores <value length> copies of the letter 'A' + n % 26, then ":" and n,
// so that a reader can tell a whole value from a torn one.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/ado/AdoError.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Identifier.h"
#include "platform/ado/Recordset.h"

namespace {

std::string ValueOfWrite(long n, std::size_t length) {
  return std::string(length, static_cast<char>('A' + n % 26)) + ":" + std::to_string(n);
}

const char* Kind(const std::string& message) {
  if (message.find("The database is busy") != std::string::npos) return "busy";
  if (message.find("by someone else") != std::string::npos) return "conflict";
  return "error";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s DSN TABLE KEY COLUMN LENGTH WRITES\n", argv[0]);
    return 2;
  }
  const std::string source = argv[1];
  const std::string table = argv[2];
  const std::string key = argv[3];
  const int column = std::atoi(argv[4]);
  const auto length = static_cast<std::size_t>(std::strtoul(argv[5], nullptr, 10));
  const long writes = std::strtol(argv[6], nullptr, 10);
  try {
    auto connection = ado::CreateConnection();
    connection->setCursorLocation(ado::adUseServer);
    connection->setProvider("MSDASQL");
    connection->Open("Data Source=" + source);
    connection->setCursorLocation(ado::adUseClient);
    auto rows = std::make_shared<ado::Recordset>();
    rows->setTable(table);
    rows->Open("SELECT * FROM " + ado::QuoteIdentifier(table, connection->IdentifierQuote()), connection, ado::adOpenDynamic, ado::adLockOptimistic);
    rows->FetchMore(static_cast<std::size_t>(-1));
    std::size_t row = 0;
    while (row < rows->rowCount() && (rows->cell(row, 0).isNull || rows->cell(row, 0).text != key)) ++row;
    if (row == rows->rowCount()) throw std::runtime_error("no row with the key " + key);
    std::printf("ready\n");
    std::fflush(stdout);
    for (long n = 1; writes == 0 || n <= writes; ++n) {
      try {
        rows->UpdateCell(row, column, ValueOfWrite(n, length));
        std::printf("ok %ld\n", n);
      } catch (const ado::Error& failure) {
        std::string message = failure.what();
        for (char& c : message)
          if (c == '\n') c = ' ';
        std::printf("%s %ld %s\n", Kind(message), n, message.c_str());
      }
      std::fflush(stdout);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "edit_once: %s\n", failure.what());
    return 1;
  }
  return 0;
}
