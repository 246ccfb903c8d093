// Writes the benchmark's data, always the same for the same arguments:
//   orders-csv ROWS   the orders table as CSV (an empty unquoted note is NULL)
//   tables-sql COUNT  a script creating COUNT small tables plus a few whose
//                     names contain "sys" in some letter case
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Random.h"

namespace {

using bench::Random;

constexpr std::string_view FirstNames[] = {"Ada",   "Bruno", "Chiara", "Dmitri", "Elena", "Farid", "Greta",
                                           "Hiro",  "Ines",  "Jonas",  "Kemal",  "Lucia", "Marek", "Nadia",
                                           "Oskar", "Priya", "Quentin", "Rosa",  "Sven",  "Tamsin"};
constexpr std::string_view LastNames[] = {"Abernathy", "Bergstrom", "Castellano", "Dunleavy", "Eriksen",
                                          "Fontaine",  "Grimaldi",  "Halvorsen",  "Iwasaki",  "Jablonski",
                                          "Kowalczyk", "Lindqvist", "Montgomery", "Nakamura", "Oyelaran"};
constexpr std::string_view Statuses[] = {"new", "paid", "shipped", "returned", "cancelled"};
constexpr std::string_view Words[] = {"please", "deliver", "before", "noon",  "fragile", "gift",  "wrap",
                                      "call",   "ahead",   "back",   "door",  "leave",   "with",  "neighbour",
                                      "urgent", "invoice", "attached", "box", "second",  "floor"};

template <std::size_t N>
std::string_view Pick(Random& random, const std::string_view (&list)[N]) {
  return list[random.Next() % N];
}

void Orders(long rows) {
  Random random(20240611);
  std::string line;
  for (long id = 1; id <= rows; ++id) {
    line.clear();
    line += std::to_string(id);
    line += ',';
    // About twenty characters: "First Last #1234".
    line += Pick(random, FirstNames);
    line += ' ';
    line += Pick(random, LastNames);
    line += " #" + std::to_string(random.Between(1000, 9999));
    char amount[32];
    std::snprintf(amount, sizeof amount, ",%ld.%02ld,", random.Between(1, 99999), random.Between(0, 99));
    line += amount;
    char created[40];
    std::snprintf(created, sizeof created, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld,", random.Between(2015, 2024),
                  random.Between(1, 12), random.Between(1, 28), random.Between(0, 23), random.Between(0, 59),
                  random.Between(0, 59));
    line += created;
    line += std::to_string(random.Between(1, 500));
    line += ',';
    if (random.Between(1, 100) > 30) {
      const auto length = static_cast<std::size_t>(random.Between(10, 60));
      std::string note;
      while (note.size() < length) {
        if (!note.empty()) note += ' ';
        note += Pick(random, Words);
      }
      note.resize(length);
      if (note.back() == ' ') note.back() = '.';
      line += note;
    }
    line += ',';
    line += Pick(random, Statuses);
    line += ',';
    line += std::to_string(random.Between(0, 1));
    line += '\n';
    std::fputs(line.c_str(), stdout);
  }
}

void Tables(long count) {
  std::puts("BEGIN;");
  for (long index = 1; index <= count; ++index) {
    std::printf("CREATE TABLE t%05ld (id INTEGER PRIMARY KEY, label VARCHAR(20));\n", index);
    // PostgreSQL holds a lock per created table until the commit.
    if (index % 500 == 0) std::puts("COMMIT;\nBEGIN;");
  }
  // Names the list must leave out.
  for (const char* name : {"sys_audit", "MySystemLog", "EasySync", "archive_SYS"})
    std::printf("CREATE TABLE \"%s\" (id INTEGER PRIMARY KEY);\n", name);
  std::puts("COMMIT;");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s orders-csv ROWS | tables-sql COUNT\n", argv[0]);
    return 2;
  }
  const std::string_view what = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  if (count <= 0) {
    std::fprintf(stderr, "the count must be positive\n");
    return 2;
  }
  if (what == "orders-csv") {
    Orders(count);
  } else if (what == "tables-sql") {
    Tables(count);
  } else {
    std::fprintf(stderr, "unknown kind: %s\n", argv[1]);
    return 2;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
