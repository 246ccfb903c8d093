#include "StatementWait.h"

namespace ado {
namespace {

thread_local StatementWait* current = nullptr;

}  // namespace

StatementWait* StatementWait::Current() { return current; }

StatementWait::Scope::Scope(StatementWait& wait) : previous_(current) { current = &wait; }

StatementWait::Scope::~Scope() { current = previous_; }

}  // namespace ado
