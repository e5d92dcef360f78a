#include "tests/e2e/agent_run.h"

#include <gtest/gtest.h>

namespace quen::testing {

std::optional<Json> parseRecordLine(const std::string& line) {
  Json record;
  try {
    record = Json::parse(line);
  } catch (const Json::parse_error& failure) {
    ADD_FAILURE() << "not a JSON line (" << failure.what() << "): " << line;
    return std::nullopt;
  }
  if (!record.is_object()) {
    ADD_FAILURE() << "not a JSON object: " << line;
    return std::nullopt;
  }
  // Compact, members in the order written, solidus bare, non-ASCII as raw UTF-8: the line
  // is what a plain writer makes of the object. (\u escapes may differ in letter case.)
  if (line.find("\\u") == std::string::npos) {
    EXPECT_EQ(record.dump(), line) << "not in the compact output format";
  }
  return record;
}

std::unique_ptr<AgentRun> AgentRun::start(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::map<std::string, std::optional<std::string>>& changes) {
  SpawnOptions options;
  options.arguments.push_back(program);
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.environment = changes;
  std::string error;
  auto process = ChildProcess::spawn(options, error);
  if (!process) {
    ADD_FAILURE() << "cannot start " << program << ": " << error;
    return nullptr;
  }
  return std::unique_ptr<AgentRun>(new AgentRun(std::move(process)));
}

std::optional<Json> AgentRun::nextRecord(Milliseconds timeout) {
  const auto line = process_->readLine(timeout);
  if (!line) return std::nullopt;
  lines_.push_back(*line);
  return parseRecordLine(*line);
}

std::optional<Json> AgentRun::waitForRecord(const std::function<bool(const Json&)>& wanted,
                                            Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    const auto line = process_->readLine(left);
    if (!line) return std::nullopt;
    lines_.push_back(*line);
    const auto record = parseRecordLine(*line);
    if (record && wanted(*record)) return record;
  }
}

}  // namespace quen::testing
