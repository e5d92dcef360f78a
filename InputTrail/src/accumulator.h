#pragma once

// The activity accumulator: which kinds of input arrived since the last report tick, and
// the error attachment of the latest event. Only the event handlers and the report tick
// touch it, all on the main-loop thread.

#include "InputTrail/src/config.h"
#include "core/record.h"

namespace quen::input {

// Starts as a copy of DICT_SCHEMA and always holds its four keys. Defined after
// DICT_SCHEMA in every unit that sees it, so it is initialised after the schema.
inline Record ACCUMULATOR_CURR = DICT_SCHEMA;

// Lays `partial` over ACCUMULATOR_CURR, the partial record's values winning. A value
// equal to the one held is left in place, so an event that repeats what the accumulator
// already says allocates nothing.
void accumulateMerge(const Record& partial);

}  // namespace quen::input
