#include "WriteWait.h"

namespace ado {
namespace {

thread_local WriteWait* current = nullptr;

}  // namespace

WriteWait* WriteWait::Current() { return current; }

WriteWait::Scope::Scope(WriteWait& wait) : previous_(current) { current = &wait; }

WriteWait::Scope::~Scope() { current = previous_; }

}  // namespace ado
