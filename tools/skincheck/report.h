#pragma once
// What the checker found: problems with their place, the agreed ids the skin
// has and lacks, and its size; printed in the GNU "file:line:column:" form
// editors understand, or as JSON.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/skincheck/sourcetext.h"

enum class Severity { Warning, Error };

struct Finding {
  Severity severity;
  SourcePosition position;  // line 0: about the whole file or package
  std::string text;
};

struct Report {
  std::string file;  // the skin document (or the package) as the author names it
  std::vector<Finding> findings;
  std::vector<std::string> idsPresent;
  std::vector<std::string> idsMissing;
  int width = 0, height = 0;  // the root's size, as the view takes it
  bool loaded = false;        // the document parsed

  void add(Severity severity, SourcePosition position, std::string text);
  void error(SourcePosition position, std::string text) { add(Severity::Error, position, std::move(text)); }
  void warning(SourcePosition position, std::string text) { add(Severity::Warning, position, std::move(text)); }
  // Findings in file order (line, then column), each kept once.
  void sort();
  int count(Severity severity) const;
};

std::string textOf(const Report& report);
std::string jsonOf(const Report& report);
