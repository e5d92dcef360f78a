#include "core/record.h"

#include <algorithm>

namespace quen {

Record::Record(std::initializer_list<Member> members) {
  members_.reserve(members.size());
  for (const Member& member : members) set(member.first, member.second);
}

void Record::set(std::string_view key, Value value) {
  if (Value* existing = find(key)) {
    // Assigning an equal value is skipped so that a steady caller reuses what is held.
    if (!(*existing == value)) *existing = std::move(value);
    return;
  }
  members_.emplace_back(std::string(key), std::move(value));
}

const Value* Record::find(std::string_view key) const {
  for (const Member& member : members_)
    if (member.first == key) return &member.second;
  return nullptr;
}

Value* Record::find(std::string_view key) {
  for (Member& member : members_)
    if (member.first == key) return &member.second;
  return nullptr;
}

bool operator==(const Record& a, const Record& b) {
  // Keys are unique within a record, so equal sizes and every member of `a` found equal
  // in `b` means the same key set with equal values.
  if (a.members_.size() != b.members_.size()) return false;
  return std::all_of(a.members_.begin(), a.members_.end(), [&b](const Record::Member& m) {
    const Value* other = b.find(m.first);
    return other != nullptr && *other == m.second;
  });
}

}  // namespace quen
