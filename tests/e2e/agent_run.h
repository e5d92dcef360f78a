#pragma once

// One run of an agent under test: its lines read as they come, each checked to be one
// compact JSON object (a line that is not fails the test where it is read).

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace quen::testing {

using Json = nlohmann::ordered_json;

class AgentRun {
 public:
  // Starts `program` with `arguments` and the environment `changes`; null (and a test
  // failure) when it cannot be started.
  static std::unique_ptr<AgentRun> start(
      const std::string& program, const std::vector<std::string>& arguments,
      const std::map<std::string, std::optional<std::string>>& changes);

  // The next record; none when `timeout` passes first or the agent closed its output.
  std::optional<Json> nextRecord(Milliseconds timeout);
  // Reads records until one satisfies `wanted`, which it returns; none at `timeout`.
  std::optional<Json> waitForRecord(const std::function<bool(const Json&)>& wanted,
                                    Milliseconds timeout);
  // Every line read so far, as written.
  const std::vector<std::string>& lines() const { return lines_; }
  ChildProcess& process() { return *process_; }

 private:
  explicit AgentRun(std::unique_ptr<ChildProcess> process) : process_(std::move(process)) {}
  std::unique_ptr<ChildProcess> process_;
  std::vector<std::string> lines_;
};

// The line as a JSON object, or none (with a test failure naming the line) when it is not
// exactly one compact JSON object in the agents' output format.
std::optional<Json> parseRecordLine(const std::string& line);

}  // namespace quen::testing
