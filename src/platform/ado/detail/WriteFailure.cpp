#include "WriteFailure.h"

#include "platform/ado/AdoError.h"
#include "platform/ado/ErrorMeaning.h"

namespace ado {
namespace {

std::string Shown(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  constexpr std::size_t Longest = 60;
  if (value->size() <= Longest) return "\"" + *value + "\"";
  // Cut at a character boundary of the UTF-8 text.
  std::size_t cut = Longest;
  while (cut > 0 && (static_cast<unsigned char>((*value)[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + value->substr(0, cut) + "...\"";
}

}  // namespace

WriteFailure::WriteFailure(std::string column, const std::optional<std::string>& value)
    : prefix_("The value of column \"" + column + "\" could not be set to " + Shown(value) + ": "),
      stored_("The value " + Shown(value) + " of column \"" + column + "\"") {}

std::string WriteFailure::Prefix() const { return prefix_; }

void WriteFailure::Raise(const Error& error, RowNow now) const {
  if (IsConnectionLost(error))
    throw WriteError("The connection to the database was lost. " + Prefix() +
                         "the change was not saved. Go back to the table list and open the table again to "
                         "reconnect.\n" + error.what(),
                     error.sqlState(), std::move(now));
  if (IsColumnsChanged(error)) RaiseColumnsChanged();
  if (IsCancelled(error))
    throw WriteError(Prefix() + "you cancelled the change while it waited for another session's lock, so it was not "
                                "saved. Nothing was changed." +
                         (*error.what() ? std::string("\n") + error.what() : std::string()),
                     error.sqlState(), std::move(now));
  if (IsBusy(error))
    throw WriteError("The database is busy: another user or program holds a lock on this row or table. " +
                         Prefix() + "nothing was changed. Try again later.\n" + error.what(),
                     error.sqlState(), std::move(now));
  if (missingReference_ && IsForeignKeyViolation(error))
    if (const std::string missing = missingReference_(); !missing.empty())
      throw WriteError(Prefix() + missing + ". Nothing was changed.\n" + error.what(), error.sqlState(),
                       std::move(now));
  throw WriteError(Prefix() + error.what(), error.sqlState(), std::move(now));
}

void WriteFailure::RaiseOutcomeUnknown(const Error& error, RowNow now) const {
  const bool shown = now.row.has_value();
  throw WriteError("The connection to the database was lost while the change was being saved. " + Prefix() +
                       "it is not known whether the change was saved. " +
                       (shown ? std::string("The row now shows what the database holds.")
                              : std::string("Go back to the table list and open the table again to see what the "
                                            "database holds.")) +
                       "\n" + error.what(),
                   error.sqlState(), std::move(now));
}

void WriteFailure::RaiseChanged(RowNow now) const {
  throw WriteError(Prefix() + "the row was changed by someone else after it was read. Nothing was changed; the row "
                              "now shows what the database holds.",
                   {}, std::move(now));
}

void WriteFailure::RaiseRowSecurity() const {
  throw WriteError(Prefix() + "the database's row security does not let you change this row. Nothing was changed.",
                   {}, {});
}

void WriteFailure::RaiseSkippedByTrigger() const {
  throw WriteError(Prefix() + "a trigger on the table did not let this change through. Nothing was changed.", {}, {});
}

void WriteFailure::RaiseKeptOldValue(RowNow now) const {
  throw WriteError(Prefix() + "the database kept the old value (a trigger on the table sets it back).", {},
                   std::move(now));
}

void WriteFailure::RaiseColumnsChanged() const {
  throw WriteError(Prefix() + "the table's columns were changed; press F5 to read it again. Nothing was changed.", {},
                   {});
}

void WriteFailure::RaiseDeleted() const {
  RaiseGone("no row holds its key any more: someone else deleted the row, or changed its key, after it was read.");
}

void WriteFailure::RaiseChangedOrDeleted() const {
  RaiseGone("the row was changed or deleted by someone else after it was read; the table has no key by which to "
            "find it again.");
}

void WriteFailure::RaiseGone(const std::string& what) const {
  RowNow now;
  now.deleted = true;
  throw WriteError(Prefix() + what + " Nothing was changed; the row is shown struck through until the table is opened "
                                     "again.",
                   {}, std::move(now));
}

void WriteFailure::RaiseStoredAltered(const std::string& warnings, RowNow now) const {
  const std::string what = stored_.empty() ? prefix_ + "the change" : stored_;
  throw WriteError(what + " was saved, but the database reported that it did not store everything as given; " +
                       (now.row ? "the row now shows what the database holds.\n"
                                : "open the table again to see what the database holds.\n") +
                       warnings,
                   {}, std::move(now));
}

void WriteFailure::RaiseSeveral(long rows) const {
  throw WriteError(Prefix() + "the change would have changed " + std::to_string(rows) +
                       " rows, not just this one. Nothing was changed.",
                   {}, {});
}

void WriteFailure::RaiseSeveralStored(long rows) const {
  throw WriteError(Prefix() + "the change was stored in " + std::to_string(rows) +
                       " rows, not just this one, and the table or the data source keeps no transactions (an "
                       "engine without them, NoTXN), so it could not be undone. Go back to the table list and open the table again to see what the "
                       "database holds.",
                   {}, {});
}

}  // namespace ado
