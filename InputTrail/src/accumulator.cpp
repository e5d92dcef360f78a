#include "InputTrail/src/accumulator.h"

namespace quen::input {

void accumulateMerge(const Record& partial) {
  for (const Record::Member& member : partial.members()) {
    Value* held = ACCUMULATOR_CURR.find(member.first);
    if (held == nullptr) {
      ACCUMULATOR_CURR.set(member.first, member.second);
    } else if (!(*held == member.second)) {
      *held = member.second;
    }
  }
}

}  // namespace quen::input
